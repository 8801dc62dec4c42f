#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "stream.h"

struct OM_Stream_Resource_Data {
  HRSRC hResInfo;
  HGLOBAL hRes;
  reg position;
};

// One platform call moves at most a DWORD's worth; a larger request is a
// shorter transfer, which every caller already handles.
static DWORD clamp_dword(reg size) { return size > 0xFFFFFFFFu ? 0xFFFFFFFFu : DWORD(size); }

int OM_Stream_File_Open(OM_Stream* stream, const char* name, int access) {
  DWORD rights = 0;
  if (access & OM_STREAM_READ) rights |= GENERIC_READ;
  if (access & OM_STREAM_WRITE) rights |= GENERIC_WRITE;
  HANDLE file =
      CreateFileA(name, rights, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  stream->data = file;
  return 1;
}

reg OM_Stream_File_Read(OM_Stream* self, void* buffer, reg size) {
  DWORD done = 0;
  if (!ReadFile(self->data, buffer, clamp_dword(size), &done, nullptr)) return 0;
  return done;
}

reg OM_Stream_File_Write(OM_Stream* self, void* buffer, reg size) {
  DWORD done = 0;
  if (!WriteFile(self->data, buffer, clamp_dword(size), &done, nullptr)) return 0;
  return done;
}

void OM_Stream_File_Close(OM_Stream* self) { CloseHandle(self->data); }

int OM_Stream_Resource_Open(OM_Stream* stream, const char* name) {
  HRSRC info = FindResourceA(nullptr, name, MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!info) return 0;
  HGLOBAL res = LoadResource(nullptr, info);
  if (!res) return 0;
  OM_Stream_Resource_Data* d =
      static_cast<OM_Stream_Resource_Data*>(malloc(sizeof(OM_Stream_Resource_Data)));
  if (!d) return 0;
  d->hResInfo = info;
  d->hRes = res;
  d->position = 0;
  stream->data = d;
  return 1;
}

reg OM_Stream_Resource_Read(OM_Stream* self, void* buffer, reg size) {
  OM_Stream_Resource_Data* d = static_cast<OM_Stream_Resource_Data*>(self->data);
  if (size == 0 || !d) return 0;
  const u8* bytes = static_cast<const u8*>(LockResource(d->hRes));
  if (!bytes) return 0;
  reg total = SizeofResource(nullptr, d->hResInfo);
  reg left = total > d->position ? total - d->position : 0;
  reg count = size < left ? size : left;
  if (count) memcpy(buffer, bytes + d->position, count);
  d->position += count;
  return count;
}

void OM_Stream_Resource_Close(OM_Stream* self) {
  OM_Stream_Resource_Data* d = static_cast<OM_Stream_Resource_Data*>(self->data);
  if (!d) return;
  FreeResource(d->hRes);
  free(d);
  self->data = nullptr;
}
