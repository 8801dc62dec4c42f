#include <windows.h>

#include <cstdio>
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
  // Without CREATE a missing file stays missing, even when asked for writing.
  bool create = (access & OM_STREAM_CREATE) && (access & OM_STREAM_WRITE);
  HANDLE file = CreateFileA(name, rights, 0, nullptr, create ? CREATE_ALWAYS : OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
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

int OM_Stream_File_Sync(OM_Stream* self) { return FlushFileBuffers(self->data) != 0; }

// Write-through: the call returns once the move is on the disk.
int OM_File_Rename(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

int OM_File_Delete(const char* name) { return DeleteFileA(name) != 0; }

OM_FileKind OM_File_Kind(const char* name) {
  DWORD attributes = GetFileAttributesA(name);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // Anything but "not there" is left to the open, which reports it.
    DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME
               ? OM_FILE_MISSING
               : OM_FILE_REGULAR;
  }
  return attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE) ? OM_FILE_OTHER
                                                                         : OM_FILE_REGULAR;
}

// Units of 100 ns since 1601.
int OM_File_Time(const char* name, int64_t* when) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(name, GetFileExInfoStandard, &data)) return 0;
  const FILETIME& t = data.ftLastWriteTime;
  *when = int64_t((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  return 1;
}

int OM_File_Size(const char* name, uint64_t* size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(name, GetFileExInfoStandard, &data)) return 0;
  *size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return 1;
}

void OM_File_DescribeError(char* out, reg size) {
  if (!out || size == 0) return;
  DWORD code = GetLastError();
  DWORD n =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                     out, static_cast<DWORD>(size > 0xFFFF ? 0xFFFF : size), nullptr);
  // The system's texts end in ".\r\n"; the console wants one bare line.
  while (n > 0 &&
         (out[n - 1] == '\n' || out[n - 1] == '\r' || out[n - 1] == '.' || out[n - 1] == ' '))
    out[--n] = '\0';
  if (n == 0) snprintf(out, size, "system error %lu", static_cast<unsigned long>(code));
}

int OM_File_MakeFolder(const char* name) {
  if (CreateDirectoryA(name, nullptr)) return 1;
  DWORD attributes = GetFileAttributesA(name);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int OM_File_FullPath(const char* name, char* out, reg size) {
  DWORD n = GetFullPathNameA(*name ? name : ".", DWORD(size), out, nullptr);
  if (n == 0 || n >= size) return 0;
  for (DWORD i = 0; i < n; i++)
    if (out[i] == '\\') out[i] = '/';
  while (n > 3 && out[n - 1] == '/') out[--n] = '\0';  // "C:/" keeps its slash
  return 1;
}

int OM_File_LocalName(const char* utf8, char* out, reg size) {
  wchar_t wide[1024];
  if (!MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide, 1024)) return 0;
  BOOL lost = FALSE;
  int n =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, out, int(size), nullptr, &lost);
  return n > 0 && !lost;
}

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
