// Byte streams over files (file://PATH) and the program's embedded resources
// (res://NAME), reached through a table of operations; and the few whole-file
// operations a safe save needs (flush to disk, atomic replace, remove).
//
// ==== Streams ====
// ==== Files ====
// ==== Platform layer ====
#pragma once

#include "types.h"

// ==== Streams ====

// Tested bit by bit: 1 read access, 2 write access (so SEEK asks for both).
// Opening a file never creates it, unless CREATE is asked for together with
// WRITE: then a missing file is created and an existing one emptied. Only the
// world writer does that, and only for its temporary files.
enum OM_Stream_Flags {
  OM_STREAM_READ = 1,
  OM_STREAM_WRITE = 2,
  OM_STREAM_SEEK = 3,
  OM_STREAM_CREATE = 4,
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

// ==== Files ====
// Whole-file operations on plain names (no file:// prefix). Each returns 1 on
// success, or 0 with OM_FileError() describing why.

enum OM_FileKind {
  OM_FILE_MISSING = 0,  // nothing by that name
  OM_FILE_REGULAR = 1,  // a file (or something whose kind cannot be told)
  OM_FILE_OTHER = 2,    // a folder, a device: not something to read or replace
};
OM_FileKind OM_GetFileKind(const char* name);
// When the file `name` was last written, in the system's own unit and from
// its own origin: only the order of two such times means anything. 1 with
// the time in *when; 0 when no file of that name exists (or its time cannot
// be read).
int OM_GetFileTime(const char* name, int64_t* when);

// Writes all `size` bytes, retrying short writes; 0 when the stream cannot
// take them all.
int OM_WriteStream(OM_Stream* stream, const void* bytes, reg size);
// Pushes what was written to a file stream onto the disk; 0 for any other
// kind of stream.
int OM_SyncStream(OM_Stream* stream);
// Puts `from` in the place of `to` in one step: a reader of `to` sees the
// old file or the new one, never neither and never a mixture.
int OM_ReplaceFile(const char* from, const char* to);
int OM_RemoveFile(const char* name);
// `to` becomes a copy of `from`, flushed to disk. Not atomic by itself: copy
// to a temporary name and replace. A copy shorter than `from` was when the
// copy began (a read that failed part-way) is a failure.
int OM_CopyFile(const char* from, const char* to);
// Why the last failed file operation failed: a short text for the console.
const char* OM_FileError();

// Tests only. When set, every file open, write, sync, replace and removal
// asks it first; a non-zero answer makes that step fail as if the system had
// refused it. `name` is the file for OPEN, REPLACE (the target) and REMOVE,
// null for WRITE and SYNC. Running as root, permissions stop nothing, so
// this is how the failure paths of saving are reached.
// READ is asked before each read of a copy: failing it ends the reading
// early, as a read error would (reads report errors and the end alike).
enum OM_FileStep {
  OM_FILE_OPEN,
  OM_FILE_WRITE,
  OM_FILE_SYNC,
  OM_FILE_REPLACE,
  OM_FILE_REMOVE,
  OM_FILE_READ,
};
extern int (*OM_fileFault)(OM_FileStep step, const char* name);

// ==== Platform layer ====
// stream_win32.cpp, stream_linux.cpp. The openers fill stream->data with the
// source's state and return 1, or return 0 with nothing left open. `access`
// holds the same bits as OM_Stream_Flags; a file is created only when it has
// both WRITE and CREATE. The others return 1 on success and 0 on failure,
// after which OM_File_DescribeError tells why.
int OM_Stream_File_Open(OM_Stream* stream, const char* name, int access);
int OM_Stream_Resource_Open(OM_Stream* stream, const char* name);
int OM_Stream_File_Sync(OM_Stream* stream);
int OM_File_Rename(const char* from, const char* to);  // replacing `to`
int OM_File_Delete(const char* name);
OM_FileKind OM_File_Kind(const char* name);
int OM_File_Time(const char* name, int64_t* when);
int OM_File_Size(const char* name, uint64_t* size);
// The system's reason for the last failure, as one line of text.
void OM_File_DescribeError(char* out, reg size);
// The folder `name`, made when missing (its parent must exist); 1 when it
// is there afterwards.
int OM_File_MakeFolder(const char* name);
// The absolute, resolved form of the existing file or folder `name` ("" is
// the working folder), with '/' between folders on every platform.
int OM_File_FullPath(const char* name, char* out, reg size);
// A UTF-8 name (as a drop on the window gives it) in the form the file
// functions take: the same bytes on Linux, the system's code page on
// Windows. 0 when it does not fit or cannot be said in that code page.
int OM_File_LocalName(const char* utf8, char* out, reg size);
