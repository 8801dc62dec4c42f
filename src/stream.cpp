// Streams over files and embedded resources, and the whole-file operations
// of a safe save.
//
// ==== Streams ====
// ==== Files ====
#include "stream.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// ==== Streams ====

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

int (*OM_fileFault)(OM_FileStep step, const char* name) = nullptr;

static char fileError[160];

static void remember_error() { OM_File_DescribeError(fileError, sizeof fileError); }

// A step the test hook refuses fails like a refusal of the system.
static bool faulted(OM_FileStep step, const char* name) {
  if (!OM_fileFault || !OM_fileFault(step, name)) return false;
  snprintf(fileError, sizeof fileError, "failure injected by a test");
  return true;
}

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
  if (file && faulted(OM_FILE_OPEN, file)) return nullptr;

  OM_Stream* stream = static_cast<OM_Stream*>(calloc(1, sizeof(OM_Stream)));
  if (!stream) return nullptr;
  const int access = OM_STREAM_READ | OM_STREAM_WRITE | OM_STREAM_CREATE;
  int opened = file ? OM_Stream_File_Open(stream, file, flags & access)
                    : OM_Stream_Resource_Open(stream, res);
  if (!opened) {
    if (file) remember_error();
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

// ==== Files ====

OM_FileKind OM_GetFileKind(const char* name) { return name ? OM_File_Kind(name) : OM_FILE_MISSING; }

int OM_GetFileTime(const char* name, int64_t* when) {
  return name && when ? OM_File_Time(name, when) : 0;
}

int OM_WriteStream(OM_Stream* stream, const void* bytes, reg size) {
  if (!stream || !stream->vTable || !stream->vTable->Write) return 0;
  if (faulted(OM_FILE_WRITE, nullptr)) return 0;
  const u8* at = static_cast<const u8*>(bytes);
  while (size > 0) {
    reg n = stream->vTable->Write(stream, const_cast<u8*>(at), size);
    if (n == 0 || n > size) {
      remember_error();
      return 0;
    }
    at += n;
    size -= n;
  }
  return 1;
}

int OM_SyncStream(OM_Stream* stream) {
  if (!stream || stream->vTable != &OM_Stream_File_VTable) return 0;
  if (faulted(OM_FILE_SYNC, nullptr)) return 0;
  if (OM_Stream_File_Sync(stream)) return 1;
  remember_error();
  return 0;
}

int OM_ReplaceFile(const char* from, const char* to) {
  if (!from || !to || faulted(OM_FILE_REPLACE, to)) return 0;
  if (OM_File_Rename(from, to)) return 1;
  remember_error();
  return 0;
}

int OM_RemoveFile(const char* name) {
  if (!name || faulted(OM_FILE_REMOVE, name)) return 0;
  if (OM_File_Delete(name)) return 1;
  remember_error();
  return 0;
}

// Opens `name` (a plain file name) as a file stream.
static OM_Stream* open_file(const char* name, int flags) {
  char path[4096];
  if (snprintf(path, sizeof path, "file://%s", name) >= static_cast<int>(sizeof path)) {
    snprintf(fileError, sizeof fileError, "the file name is too long");
    return nullptr;
  }
  return OM_OpenStream(path, static_cast<OM_Stream_Flags>(flags));
}

int OM_CopyFile(const char* from, const char* to) {
  if (!from || !to) return 0;
  OM_Stream* in = open_file(from, OM_STREAM_READ);
  if (!in) return 0;
  OM_Stream* out = open_file(to, OM_STREAM_WRITE | OM_STREAM_CREATE);
  if (!out) {
    OM_ReleaseStream(in);
    return 0;
  }
  // A read error looks like the end of the file: the length tells them apart.
  uint64_t expected = 0, copied = 0;
  int ok = OM_File_Size(from, &expected);
  if (!ok) remember_error();
  u8 chunk[16384];
  for (reg n;
       ok && !faulted(OM_FILE_READ, from) && (n = in->vTable->Read(in, chunk, sizeof chunk)) != 0;
       copied += n)
    ok = OM_WriteStream(out, chunk, n);
  if (ok && copied != expected) {
    snprintf(fileError, sizeof fileError, "'%s' could not be read to its end", from);
    ok = 0;
  }
  if (ok) ok = OM_SyncStream(out);
  OM_ReleaseStream(out);
  OM_ReleaseStream(in);
  return ok;
}

const char* OM_FileError() { return fileError; }
