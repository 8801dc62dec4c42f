#include "stream.h"

#include <cstdlib>
#include <cstring>

OM_Stream_VTable OM_Stream_File_VTable = {
    OM_Stream_File_Close,
    OM_Stream_File_Read,
    OM_Stream_File_Write,
    nullptr,
};

OM_Stream_VTable OM_Stream_Resource_VTable = {
    OM_Stream_Resource_Close,
    OM_Stream_Resource_Read,
    nullptr,
    nullptr,
};

// The scheme is told by its first letters alone ("file", "res"); the name
// starts after a fixed-length prefix. A path too short to hold that prefix
// names nothing rather than sending us past its end.
static const char* name_after(const char* path, const char* scheme, reg prefix) {
  reg n = strlen(scheme);
  if (strncmp(path, scheme, n) != 0) return nullptr;
  if (strnlen(path, prefix) < prefix) return nullptr;
  return path + prefix;
}

OM_Stream* OM_OpenStream(const char* path, OM_Stream_Flags flags) {
  if (!path) return nullptr;
  const char* file = name_after(path, "file", 7);
  const char* res = file ? nullptr : name_after(path, "res", 6);
  if (!file && !res) return nullptr;

  OM_Stream* stream = static_cast<OM_Stream*>(calloc(1, sizeof(OM_Stream)));
  if (!stream) return nullptr;
  int opened = file ? OM_Stream_File_Open(stream, file, flags & (OM_STREAM_READ | OM_STREAM_WRITE))
                    : OM_Stream_Resource_Open(stream, res);
  if (!opened) {
    free(stream);
    return nullptr;
  }
  stream->vTable = file ? &OM_Stream_File_VTable : &OM_Stream_Resource_VTable;
  return stream;
}

void OM_ReleaseStream(OM_Stream* stream) {
  if (!stream) return;
  if (stream->vTable && stream->vTable->Close) stream->vTable->Close(stream);
  free(stream);
}
