// Byte streams over files (file://PATH) and the program's embedded resources
// (res://NAME), reached through a table of operations.
#pragma once

#include "types.h"

// Tested bit by bit: 1 read access, 2 write access (so SEEK asks for both).
enum OM_Stream_Flags {
  OM_STREAM_READ = 1,
  OM_STREAM_WRITE = 2,
  OM_STREAM_SEEK = 3,
};

struct OM_Stream_VTable;

struct OM_Stream {
  u8 flags;  // room for the open flags; nothing fills or reads it
  void* data;
  OM_Stream_VTable* vTable;
};

// A null slot marks an operation the stream kind lacks.
struct OM_Stream_VTable {
  void (*Close)(OM_Stream* self);
  reg (*Read)(OM_Stream* self, void* buffer, reg size);
  reg (*Write)(OM_Stream* self, void* buffer, reg size);
  reg (*Seek)(OM_Stream* self, int offset, int origin);
};

extern OM_Stream_VTable OM_Stream_File_VTable;
extern OM_Stream_VTable OM_Stream_Resource_VTable;

OM_Stream* OM_OpenStream(const char* path, OM_Stream_Flags flags);
void OM_ReleaseStream(OM_Stream* stream);

void OM_Stream_File_Close(OM_Stream* self);
reg OM_Stream_File_Read(OM_Stream* self, void* buffer, reg size);
reg OM_Stream_File_Write(OM_Stream* self, void* buffer, reg size);
void OM_Stream_Resource_Close(OM_Stream* self);
reg OM_Stream_Resource_Read(OM_Stream* self, void* buffer, reg size);

// Platform layer (stream_win32.cpp, stream_linux.cpp). Each fills
// stream->data with the source's state and returns 1, or returns 0 with
// nothing left open. A file is never created; `access` holds the same bits
// as OM_Stream_Flags.
int OM_Stream_File_Open(OM_Stream* stream, const char* name, int access);
int OM_Stream_Resource_Open(OM_Stream* stream, const char* name);
