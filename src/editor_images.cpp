// Dropped image files: decoding, where the file is kept, the texture's name,
// and the one undo step of the drop.
//
// ==== Names ====
// ==== Where the file is kept ====
// ==== The drop ====
#include "editor_images.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "editor_state.h"
#include "editor_steps.h"
#include "event.h"
#include "ombrix.h"
#include "stream.h"
#include "surface.h"
#include "ui_console.h"
#include "world.h"

namespace {

enum : reg { kPath = 4096 };

// `format` into `out`; false when it does not fit.
bool put(char* out, reg size, const char* format, ...) OM_FORMAT(3, 4);
bool put(char* out, reg size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = vsnprintf(out, size, format, args);
  va_end(args);
  return n >= 0 && reg(n) < size;
}

// ==== Names ====

bool plain(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.';
}

// The last part of a path, either separator.
const char* base_name(const char* path) {
  const char* base = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/' || *p == '\\') base = p + 1;
  return base;
}

// `text` (at most `n` bytes) with every character a name or path cannot
// hold made '_', into `out` of `size` bytes.
void plain_copy(const char* text, reg n, char* out, reg size) {
  reg k = 0;
  for (; k < n && k + 1 < size; ++k) out[k] = plain(text[k]) ? text[k] : '_';
  out[k] = '\0';
}

// A texture name from the file's name without its extension, made valid
// and unlike any name the world shows.
void texture_name(const char* file, char* out, reg size) {
  const char* base = base_name(file);
  const char* dot = strrchr(base, '.');
  reg n = dot && dot != base ? reg(dot - base) : strlen(base);
  char stem[OM_WORLD_IMAGE_NAME_MAX - 8];
  plain_copy(base, n, stem, sizeof stem);
  if (!world_image_name_ok(stem, strlen(stem), nullptr, 0)) {
    char prefixed[sizeof stem];
    snprintf(prefixed, sizeof prefixed, "image_%s", stem);
    memcpy(stem, prefixed, sizeof stem);
  }
  snprintf(out, size, "%s", stem);
  for (int k = 2; world_texture_slot(world, out) != world_texture_slots(world); ++k)
    snprintf(out, size, "%s_%d", stem, k);
}

// ==== Where the file is kept ====

bool same_bytes(const char* a, const char* b) {
  uint64_t na = 0, nb = 0;
  if (!OM_File_Size(a, &na) || !OM_File_Size(b, &nb) || na != nb) return false;
  char pa[kPath], pb[kPath];
  bool named = put(pa, sizeof pa, "file://%s", a) && put(pb, sizeof pb, "file://%s", b);
  OM_Stream* sa = named ? OM_OpenStream(pa, OM_STREAM_READ) : nullptr;
  OM_Stream* sb = named ? OM_OpenStream(pb, OM_STREAM_READ) : nullptr;
  bool same = sa && sb;
  u8 ca[8192], cb[8192];
  while (same) {
    reg n = sa->vTable->Read(sa, ca, sizeof ca);
    reg m = n ? sb->vTable->Read(sb, cb, n) : 0;
    if (n == 0) break;
    same = n == m && memcmp(ca, cb, n) == 0;
  }
  OM_ReleaseStream(sa);
  OM_ReleaseStream(sb);
  return same;
}

// The image's path relative to the world's folder, into `path`: the file's
// own when it lies inside that folder under a name the format can hold;
// otherwise a copy made in textures/ (kept when it holds the same bytes
// already). False, with the reason said, when no copy can be made.
bool keep_beside(const char* file, const char* shown, char* path, reg size) {
  const char* folder = world->folder ? world->folder : "";
  char full[kPath], fullFolder[kPath], bare[kPath];
  snprintf(bare, sizeof bare, "%s", folder);
  reg n = strlen(bare);
  if (n > 1 && (bare[n - 1] == '/' || bare[n - 1] == '\\')) bare[n - 1] = '\0';
  if (OM_File_FullPath(file, full, sizeof full) &&
      OM_File_FullPath(bare, fullFolder, sizeof fullFolder)) {
    reg f = strlen(fullFolder);
    if (f && fullFolder[f - 1] == '/') --f;  // the root
    const char* rest = full + f + 1;
    if (strncmp(full, fullFolder, f) == 0 && full[f] == '/' &&
        world_image_path_ok(rest, strlen(rest), nullptr, 0) && strlen(rest) < size) {
      snprintf(path, size, "%s", rest);
      return true;
    }
  }
  char folderName[kPath];
  if (!put(folderName, sizeof folderName, "%s%s", folder, RV_EDITOR_TEXTURE_FOLDER) ||
      !OM_File_MakeFolder(folderName)) {
    OM_PrintFormat("%s: not added: the folder '%s' can't be made", shown, folderName);
    return false;
  }
  const char* base = base_name(file);
  const char* dot = strrchr(base, '.');
  reg stemLength = dot && dot != base ? reg(dot - base) : strlen(base);
  char stem[64], extension[16];
  plain_copy(base, stemLength < 48 ? stemLength : 48, stem, sizeof stem);
  plain_copy(dot && dot != base ? dot : "", dot && dot != base ? strlen(dot) : 0, extension,
             sizeof extension);
  for (int k = 1; k < 1000; ++k) {
    char suffix[16] = "";
    if (k > 1) snprintf(suffix, sizeof suffix, "_%d", k);
    char target[kPath], temporary[kPath];
    if (!put(path, size, "%s/%s%s%s", RV_EDITOR_TEXTURE_FOLDER, stem, suffix, extension) ||
        !put(target, sizeof target, "%s%s", folder, path) ||
        !put(temporary, sizeof temporary, "%s.tmp", target)) {
      OM_PrintFormat("%s: not added: the folder's name is too long", shown);
      return false;
    }
    if (OM_GetFileKind(target) != OM_FILE_MISSING) {
      if (same_bytes(file, target)) return true;
      continue;
    }
    // Whole or not at all: the copy is made under another name first.
    if (OM_CopyFile(file, temporary) && OM_ReplaceFile(temporary, target)) return true;
    OM_PrintFormat("%s: not added: can't copy it to '%s': %s", shown, target, OM_FileError());
    OM_RemoveFile(temporary);
    return false;
  }
  OM_PrintFormat("%s: not added: '%s' holds too many files of that name", shown, folderName);
  return false;
}

// The image decoded, or null with the reason said.
OM_Surface* decode(const char* file, const char* shown) {
  char why[160] = "";
  OM_Surface* surface = nullptr;
  char path[kPath];
  switch (OM_GetFileKind(file)) {
    case OM_FILE_MISSING: snprintf(why, sizeof why, "no such file"); break;
    case OM_FILE_OTHER: snprintf(why, sizeof why, "a folder, not an image"); break;
    default: {
      OM_Stream* in =
          put(path, sizeof path, "file://%s", file) ? OM_OpenStream(path, OM_STREAM_READ) : nullptr;
      if (!in) {
        snprintf(why, sizeof why, "can't be read: %s", OM_FileError());
        break;
      }
      surface = OM_LoadImage(in, OM_IMAGE_MAX_SIDE, why, sizeof why);
      OM_ReleaseStream(in);
    }
  }
  if (!surface) OM_PrintFormat("%s: not added: %s", shown, why);
  return surface;
}

// Puts slot `slot` on the selected edge (a portal's steps), or on the
// selected sector's floor; says where.
void apply(RV_Editor_Data* d, reg slot, char* where, reg size) {
  OM_Surface* surface = world_slot_texture(world, slot);
  OM_WorldEdge* edge = (d->flag & RV_EDITOR_EDGE_SELECTED)
                           ? world_edge(world, d->selectedSector, d->selectedEdge)
                           : nullptr;
  unsigned s = unsigned(d->selectedSector), e = unsigned(d->selectedEdge);
  if (edge && edge->type == OM_EDGE_PORTAL) {
    edge->portal_step = u16(slot + 1);
    snprintf(where, size, "the steps seen through sector %u edge %u", s, e);
  } else if (edge) {
    edge->texture = nullptr;  // the whole payload, before the pointer takes part of it
    edge->type = OM_EDGE_TEXTURE;
    edge->texture = surface;
    snprintf(where, size, "sector %u edge %u", s, e);
  } else if (OM_WorldSector* sector = world_sector(world, d->selectedSector)) {
    sector->floorTexture = surface;
    snprintf(where, size, "sector %u's floor", s);
  } else {
    snprintf(where, size, "nothing (no sector selected)");
  }
}

}  // namespace

// ==== The drop ====

int RV_Editor_DropFiles(RV_Editor_Data* d, const OM_Drop* drop) {
  if (!d || !drop || !world) return 0;
  bool begun = false;
  RV_Editor_Edit edit = {};
  reg first = 0;
  int added = 0;
  char names[300] = "";
  for (i32 i = 0; i < drop->count; ++i) {
    const char* shown = drop->paths && drop->paths[i] ? drop->paths[i] : "";
    char file[kPath];
    if (!OM_File_LocalName(shown, file, sizeof file)) {
      OM_PrintFormat("%s: not added: the name can't be used on this system", shown);
      continue;
    }
    OM_Surface* surface = decode(file, shown);
    char path[OM_WORLD_IMAGE_PATH_MAX + 1];
    if (!surface) continue;
    if (!keep_beside(file, shown, path, sizeof path)) {
      OM_DestroySurface(surface);
      continue;
    }
    if (!begun) edit = RV_Editor_BeginEdit(d, RV_EDIT_RECORD, 0);
    begun = true;
    char name[OM_WORLD_IMAGE_NAME_MAX + 1], why[160];
    texture_name(file, name, sizeof name);
    reg slot;
    if (!world_add_image(world, name, path, surface, 0, nullptr, &slot, why, sizeof why)) {
      OM_PrintFormat("%s: not added: %s", shown, why);
      continue;
    }
    if (added++ == 0) first = slot;
    reg used = strlen(names);
    if (!put(names + used, sizeof names - used, "%s%s (%s)", used ? ", " : "", name, path))
      names[used] = '\0';  // the console line names as many as it can
  }
  if (!added) {
    if (begun) RV_Editor_AbandonEdit(d, edit);
    return 0;
  }
  char where[120];
  apply(d, first, where, sizeof where);
  RV_Editor_CommitEdit(d, edit, RV_EDIT_IN_PLACE);
  OM_PrintFormat("Added %d texture%s: %s; %s on %s%s", added, added == 1 ? "" : "s", names,
                 world_slot_name(world, first), where, RV_Editor_UndoNote(d, edit));
  return added;
}
