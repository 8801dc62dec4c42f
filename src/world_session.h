// The world's file for this run: its name, the world start-up opens, saving
// and reloading it, the autosave of edits not yet saved, and the console
// lines that report each of them. The game core calls it; the host passes
// it the command line (OM_SetArguments) before the init event.
//
// Sections (grep for "// ==== "):
//   The file's name     OM_WorldFile, worldFile, OM_SetArguments
//   Console reports     load_world, save_world
//   The run's file      open_start_world, save_current_world, reload_world,
//                       autosave_tick, autosave_at_quit
#pragma once

#include "types.h"

struct OM_World;

// ==== The file's name ======================================================
// Where the world is kept: "WORLD_DUMP" in the working folder, or the file
// the command line names. Saving (Ctrl+S, the menu, the toolbar's SAVE) and
// loading use it; NAME.autosave holds edits not yet saved.

enum { OM_WORLD_FILE_NAME_SIZE = 1024 };  // bytes, the terminating NUL included
// The autosave writes at most once a minute of ticks (of OM_TICK_SECONDS).
inline constexpr u32 OM_AUTOSAVE_TICKS = 7500;

struct OM_WorldFile {
  char name[OM_WORLD_FILE_NAME_SIZE];
  u8 named;               // the command line named it: start-up opens it
  u8 recover;             // start-up opens NAME.autosave instead, to save it as NAME
  u8 refused;             // NAME would not load: saving over it is refused while it is there
  u8 keepAutosave;        // an earlier run's autosave waits to be recovered: leave it be
  u8 autosaveFailed;      // a failure was reported: quiet until an autosave succeeds
  const OM_World* world;  // the world the counts below are of
  u32 savedEdits;         // its `edits` when it last matched NAME
  u32 autosavedEdits;     // its `edits` the last autosave wrote
  u32 waited;             // ticks its newest unsaved edits have waited
};
extern OM_WorldFile worldFile;

// The command line's arguments after the program's name; the host calls it
// before the init event. One argument names the world's file. None, more
// than one, or one that cannot serve as a name (null: the host could not
// read it) leave the default, with a line on the console saying why.
void OM_SetArguments(int count, const char* const* args);

// ==== Console reports ======================================================
// world_file.h's reader and writer, with one console line for the outcome.

// The file is read when it exists, and the built-in world built when it
// does not (or for a null name). A file that cannot be read or is not a
// valid world gives null after one console line naming the file, the line
// and the reason.
OM_World* load_world(const char* filename);
// Writes the world to the file in the text format, safely: see
// world_file.h. Reports the outcome on the console; true when the file now
// holds the world (written, or already up to date).
bool save_world(const char* filename, OM_World* world);

// ==== The run's file =======================================================

// The world start-up begins with: the named file's, or the built-in world,
// taken as matching the file. A named file that is missing or does not load
// gives the built-in world, with a line saying so; the run then saves to the
// name all the same, but never over a file that did not load. An autosave
// left by an earlier run is reported, and kept. Null only when memory runs
// out.
OM_World* open_start_world();
// Saves the world to worldFile.name, the player's place and heading as its
// start and the look in use as its own (heights mode or not), and removes
// the autosave once the file holds the world.
void save_current_world();
// Replaces the world with the one in worldFile.name (the built-in world
// when there is no such file), moves the player into it, at the file's
// stored start and in the look it asks for, and releases the old one
// (Ctrl+O and the menu's load command). Without a file the player and the
// look stay. A file that does not load changes nothing.
void reload_world();
// One tick of the game: a minute of ticks after the first edit that neither
// the file nor the autosave holds, the edits go to NAME.autosave.
void autosave_tick();
// The window closes: edits not saved go to NAME.autosave.
void autosave_at_quit();
