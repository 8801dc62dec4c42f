// World files: the line-based text format of docs/world-format.md, its
// reader and its writer, and the safe replacement of a file on disk.
// They print nothing: world_session.h's load_world and save_world report on
// the console.
//
// ==== Limits ====
// ==== Text ====
// ==== Files ====
#pragma once

#include "types.h"
#include "world.h"

// ==== Limits ====
// A 255 x 255 grid of unit squares, the largest world the 16-bit vertex
// indices allow (65536 vertices, 65025 sectors), takes about 13 MB; the
// limits leave room for comments and long numbers without letting a stray
// file fill the memory.
constexpr reg OM_WORLD_FILE_MAX_BYTES = reg(64) << 20;  // 64 MiB
constexpr reg OM_WORLD_FILE_MAX_LINE = 1024;            // bytes, line feed not counted
// The format's versions. Version 2 adds the record saying a world is meant
// for heights mode and a portal's own step texture. A file is written in the
// lowest version that holds what its world uses (world_file_version), so a
// world that uses nothing of version 2 is written exactly as version 1 was;
// the reader takes both, and refuses a record of version 2 in a file of
// version 1.
constexpr int OM_WORLD_FILE_OLDEST = 1;
constexpr int OM_WORLD_FILE_NEWEST = 2;

// ==== Text ====

// The lowest version of the format that holds everything `w` uses.
int world_file_version(const OM_World* w);

// Builds a world from the text of a world file. Null when the text is not a
// valid world (or memory runs out), with "line N: reason" in `why`; nothing
// is left allocated then.
OM_World* world_parse(const char* text, reg size, char* why, reg whySize);
// The same for the text of the file `file`, whose folder image paths are
// relative to (world_parse reads no image: each gets the fallback). An image
// that cannot be used is no fault: see OM_WorldImage's `failed` and `why`.
OM_World* world_parse_file(const char* text, reg size, const char* file, char* why, reg whySize);

// The text of the world file for `w`, in a block the caller releases with
// free(); its length goes to `size`. Null, with the reason in `why`, when the
// world fails world_check, holds a texture that is not one of its own, or
// memory runs out: a file the reader would refuse is never written.
char* world_format(const OM_World* w, reg* size, char* why, reg whySize);

// ==== Files ====

// Reads and parses the file `name`. Null, with the reason in `why` ("line
// 12: ...", "no such file", ...), when it cannot be read or is not a valid
// world. Prints nothing.
OM_World* world_read_file(const char* name, char* why, reg whySize);

enum OM_SaveResult {
  OM_SAVE_FAILED = 0,
  OM_SAVE_WRITTEN = 1,
  OM_SAVE_UNCHANGED = 2,  // the file already held exactly these bytes
};
enum OM_SaveFlags {
  OM_SAVE_QUIET = 0,
  OM_SAVE_BACKUP = 1,  // keep the file being replaced as NAME.bak
};

// Writes `w` to `name` so that `name` is at every moment either the previous
// file, whole, or the new one, whole: the text goes to NAME.tmp, is flushed
// to disk and then renamed over NAME. With OM_SAVE_BACKUP the previous NAME
// is first copied to NAME.bak (through NAME.bak.tmp, so that it too is never
// partial). When NAME already holds exactly the new bytes nothing is written
// and NAME.bak stays as it was. On failure NAME is untouched, the temporary
// files are removed, and `why` says what went wrong. Prints nothing.
OM_SaveResult world_write_file(const char* name, const OM_World* w, int flags, char* why,
                               reg whySize);
