// The world's file for this run: its name (the command line's, or
// WORLD_DUMP), the world start-up opens, saving (Ctrl+S, the menu, the
// toolbar), reloading (Ctrl+O, the menu) and the autosave, with the console
// lines that report each of them. The reading and writing themselves are
// world_file.cpp's, which prints nothing.
//
// Sections (grep for "// ==== "):
//   The file's name     worldFile, OM_SetArguments, NAME.autosave
//   Console reports     load_world, save_world
//   Start-up            check_autosave, open_start_world
//   Save and reload     save_current_world, reload_world
//   Autosave            write_autosave, autosave_tick, autosave_at_quit
#include "world_session.h"

#include <cstdio>
#include <cstring>

#include "editor.h"
#include "map_view.h"
#include "object_player.h"
#include "ombrix.h"
#include "stream.h"
#include "ui_console.h"
#include "ui_widget.h"
#include "world.h"
#include "world_file.h"

// ==== The file's name ======================================================

OM_WorldFile worldFile = {"WORLD_DUMP", 0, 0, 0, 0, 0, nullptr, 0, 0, 0};

static const char kDefaultWorldFile[] = "WORLD_DUMP";
static const char kAutosave[] = ".autosave";
enum : reg {
  kPathSize = OM_WORLD_FILE_NAME_SIZE + sizeof kAutosave,
  kMessageSize = 3 * OM_WORLD_FILE_NAME_SIZE + 256,  // two names and some words
};

// NAME.autosave. The name is short enough for the suffix to fit.
static void autosave_name(char* out) {
  reg n = strnlen(worldFile.name, sizeof worldFile.name - 1);
  memcpy(out, worldFile.name, n);
  memcpy(out + n, kAutosave, sizeof kAutosave);
}

// The world as it is now matches its file (just read or written): no edit
// waits for the autosave.
static void mark_saved(const OM_World* w) {
  worldFile.world = w;
  worldFile.savedEdits = worldFile.autosavedEdits = w ? w->edits : 0;
  worldFile.waited = 0;
}

void OM_SetArguments(int count, const char* const* args) {
  OM_WorldFile fresh = {};
  memcpy(fresh.name, kDefaultWorldFile, sizeof kDefaultWorldFile);
  worldFile = fresh;
  if (count <= 0 || !args) return;
  char m[kMessageSize];
  const char* a = args[0];
  reg n = a ? strlen(a) : 0;
  if (count > 1) {
    // Two words may be one name with a space: guessing could write a
    // stranger's file, so none of them is taken.
    snprintf(m, sizeof m, "One world file, not %d (quote a name with spaces): using '%s'", count,
             kDefaultWorldFile);
  } else if (!a) {
    snprintf(m, sizeof m, "The world file's name has a character Windows can't pass on: using '%s'",
             kDefaultWorldFile);
  } else if (n == 0) {
    snprintf(m, sizeof m, "The world file's name is empty: using '%s'", kDefaultWorldFile);
  } else if (n >= sizeof worldFile.name) {
    snprintf(m, sizeof m, "The world file's name is too long (%zu bytes, at most %zu): using '%s'",
             n, sizeof worldFile.name - 1, kDefaultWorldFile);
  } else {
    // "ombrix NAME.autosave" opens the autosave and saves it as NAME: that is
    // how an autosave is recovered.
    const reg suffix = sizeof kAutosave - 1;
    bool recover = n > suffix && strcmp(a + n - suffix, kAutosave) == 0;
    memset(worldFile.name, 0, sizeof worldFile.name);
    memcpy(worldFile.name, a, recover ? n - suffix : n);
    worldFile.named = 1;
    worldFile.recover = recover ? 1 : 0;
    return;
  }
  OM_Print(m);
}

// ==== Console reports ======================================================

OM_World* load_world(const char* filename) {
  if (!filename || OM_GetFileKind(filename) == OM_FILE_MISSING) return world_builtin();
  char why[300], message[1400];
  OM_World* w = world_read_file(filename, why, sizeof why);
  if (!w) {
    snprintf(message, sizeof message, "%s: %s", filename, why);
  } else {
    snprintf(message, sizeof message, "world loaded from '%s': %zu vertices, %zu sectors", filename,
             world_vertex_count(w), world_sector_count(w));
  }
  OM_Print(message);
  // An image that could not be used is no fault of the world: it is drawn
  // with the fallback texture, and its record is written back by a save.
  for (reg k = 0; k < world_image_count(w); k++) {
    const OM_WorldImage* image = world_image(w, k);
    if (!image->failed) continue;
    snprintf(message, sizeof message,
             "%s: line %u: image %s '%s': %s; drawn with the fallback texture", filename,
             unsigned(image->line), image->name, image->path, image->why);
    OM_Print(message);
  }
  return w;
}

bool save_world(const char* filename, OM_World* world) {
  const char* name = filename ? filename : "";
  char message[1400], why[1400];
  OM_SaveResult result = OM_SAVE_FAILED;
  if (world) result = world_write_file(name, world, OM_SAVE_BACKUP, why, sizeof why);
  if (result == OM_SAVE_FAILED) {
    snprintf(message, sizeof message, "Can't open file '%s' for writing!", name);
    OM_Print(message);
    // Without a world there is nothing more precise to say (the game core
    // holds one from start-up on).
    if (world) OM_Print(why);
    return false;
  }
  snprintf(message, sizeof message,
           result == OM_SAVE_WRITTEN ? "world saved to '%s': %zu vertices, %zu sectors"
                                     : "'%s' is up to date: %zu vertices, %zu sectors",
           name, world_vertex_count(world), world_sector_count(world));
  OM_Print(message);
  return true;
}

// ==== Start-up =============================================================

// At start-up: an autosave newer than the world's file (or one without a
// file) holds edits an earlier run never saved. Says how to recover them,
// and this run neither autosaves over it nor removes it.
static void check_autosave() {
  char autosave[kPathSize];
  autosave_name(autosave);
  int64_t autosaved = 0, saved = 0;
  if (OM_GetFileKind(autosave) != OM_FILE_REGULAR || !OM_GetFileTime(autosave, &autosaved)) return;
  const char* name = worldFile.name;
  bool hasFile = OM_GetFileKind(name) == OM_FILE_REGULAR && OM_GetFileTime(name, &saved);
  if (hasFile && autosaved <= saved) return;  // a save came after it
  worldFile.keepAutosave = 1;
  char m[kMessageSize];
  snprintf(m, sizeof m, "%s %s %s: this run won't autosave over it", autosave,
           hasFile ? "is newer than" : "is there, but not", name);
  OM_Print(m);
  const char* quote = strchr(autosave, ' ') ? "\"" : "";
  snprintf(m, sizeof m, "To recover it, start ombrix %s%s%s and save (Ctrl+S)", quote, autosave,
           quote);
  OM_Print(m);
}

// The world start-up begins with: the named file's, or the built-in world.
// A named file that is missing or does not load gives the built-in world,
// with a line saying so; the run then saves to the name all the same, but
// never over a file that did not load. Null only when memory runs out.
static OM_World* read_start_world() {
  worldFile.refused = worldFile.keepAutosave = worldFile.autosaveFailed = 0;
  if (!worldFile.named) {
    // Built, never read: a stray file called WORLD_DEVEL changes nothing.
    OM_World* w = world_builtin();
    check_autosave();
    return w;
  }
  const char* name = worldFile.name;
  char source[kPathSize];
  if (worldFile.recover)
    autosave_name(source);
  else
    memcpy(source, name, sizeof worldFile.name);
  char m[kMessageSize];
  OM_World* w = nullptr;
  if (OM_GetFileKind(source) == OM_FILE_MISSING) {
    w = world_builtin();
    if (worldFile.recover)
      snprintf(m, sizeof m, "'%s' does not exist: the built-in world instead; Ctrl+S saves to '%s'",
               source, name);
    else
      snprintf(m, sizeof m,
               "'%s' does not exist yet: the built-in world instead; Ctrl+S creates it", name);
    OM_Print(m);
  } else if ((w = load_world(source)) != nullptr) {
    if (worldFile.recover) {
      snprintf(m, sizeof m, "Recovering '%s': Ctrl+S saves it as '%s'", source, name);
      OM_Print(m);
      return w;  // the autosave is what was opened: nothing to warn about
    }
  } else {
    w = world_builtin();
    // The file stays as it is until it loads: what is in it may be all
    // there is of someone's work. A broken autosave is kept the same way.
    if (worldFile.recover)
      worldFile.keepAutosave = 1;
    else
      worldFile.refused = 1;
    snprintf(m, sizeof m, "'%s' did not load and is kept as it is: the built-in world instead",
             source);
    OM_Print(m);
    if (worldFile.recover) return w;
  }
  check_autosave();
  return w;
}

// The built-in world has no file of its own: its images go beside the
// run's file.
static void give_folder(OM_World* w) {
  if (w && !w->folder) world_set_folder(w, worldFile.name);
}

OM_World* open_start_world() {
  OM_World* w = read_start_world();
  give_folder(w);
  if (w) mark_saved(w);
  return w;
}

// ==== Save and reload ======================================================

// What a save takes from the run rather than from the edits: the player's
// place and heading as the start, and the look in use.
struct RunState {
  GameObject start;
  u8 heights;
};

// Makes the player's place and heading the world's start and the look in
// use its own; returns what it replaced, for put_back.
static RunState take_run_state(OM_World* w) {
  RunState before = {w->start, w->heights};
  if (player) w->start = player->object;
  w->heights = heights_mode ? 1 : 0;
  return before;
}
static void put_back(OM_World* w, const RunState& before) {
  w->start = before.start;
  w->heights = before.heights;
}

void save_current_world() {
  const char* name = worldFile.name;
  char m[kMessageSize];
  if (worldFile.refused && OM_GetFileKind(name) != OM_FILE_MISSING) {
    snprintf(m, sizeof m,
             "Not saved: '%s' did not load, so it is kept as it is (fix it and press Ctrl+O, "
             "or move it away)",
             name);
    OM_Print(m);
    return;
  }
  if (!world) {
    save_world(name, world);  // says it cannot
    return;
  }
  RunState before = take_run_state(world);
  if (!save_world(name, world)) {
    put_back(world, before);
    return;
  }
  worldFile.refused = 0;
  mark_saved(world);
  if (worldFile.keepAutosave) return;  // an earlier run's, still to be recovered
  char autosave[kPathSize];
  autosave_name(autosave);
  if (OM_GetFileKind(autosave) == OM_FILE_REGULAR && !OM_RemoveFile(autosave)) {
    snprintf(m, sizeof m, "'%s' could not be removed: %s", autosave, OM_FileError());
    OM_Print(m);
  }
}

void reload_world() {
  // Without a file the built-in world comes back and the player stays
  // where it is, as it always has.
  bool fromFile = OM_GetFileKind(worldFile.name) != OM_FILE_MISSING;
  OM_World* fresh = load_world(worldFile.name);
  if (!fresh) {
    // Refused (or out of memory): everything stays, and a save must not
    // replace a file that may hold hand edits the reader choked on.
    if (fromFile) worldFile.refused = 1;
    return;
  }
  give_folder(fresh);
  OM_World* old = world;
  world = fresh;
  if (player && fromFile) {
    place_at_start(player, fresh);
  } else if (player) {
    player->world = fresh;
    player->sector = get_sector_at(fresh, player->object.x, player->object.y);
  }
  update_camera();
  if (fromFile) worldFile.refused = 0;
  mark_saved(fresh);
  if (old && old != fresh) release_world(old);
  // The editor's selection named vertices and edges of the old world.
  if (OM_editor) RV_Editor_WorldChanged((RV_Editor_Data*)OM_editor->data);
}

// ==== Autosave =============================================================

// Writes the edits not yet saved to NAME.autosave, with the player's place
// as the start and the look in use (the world itself keeps its own). A failure is reported
// once, not every minute.
static void write_autosave() {
  worldFile.waited = 0;
  if (!world || worldFile.keepAutosave) return;
  char autosave[kPathSize], why[512];
  autosave_name(autosave);
  RunState before = take_run_state(world);
  OM_SaveResult result = world_write_file(autosave, world, OM_SAVE_QUIET, why, sizeof why);
  put_back(world, before);
  if (result == OM_SAVE_FAILED) {
    if (!worldFile.autosaveFailed) {
      char m[kMessageSize];
      snprintf(m, sizeof m, "Autosave failed: %s", why);
      OM_Print(m);
    }
    worldFile.autosaveFailed = 1;
    return;
  }
  worldFile.autosaveFailed = 0;
  worldFile.autosavedEdits = world->edits;
}

// Edits the file and the last autosave both lack. A world that came in some
// other way than through here starts without any.
static bool edits_to_autosave() {
  if (worldFile.world != world) mark_saved(world);
  return world && world->edits != worldFile.savedEdits && world->edits != worldFile.autosavedEdits;
}

// Counts the ticks since the first edit the autosave does not hold yet: it
// writes a minute after that edit, so never more than once a minute, and
// no edit waits longer. Ticks, not a clock: the game's own time, the same
// in a test as in a run.
void autosave_tick() {
  if (!edits_to_autosave()) {
    worldFile.waited = 0;
    return;
  }
  if (++worldFile.waited >= OM_AUTOSAVE_TICKS) write_autosave();
}

void autosave_at_quit() {
  if (edits_to_autosave()) write_autosave();
}
