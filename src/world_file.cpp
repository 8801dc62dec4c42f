// World files: the text format, its reader and writer, and saving without
// ever leaving a partial file behind. The format is described in
// docs/world-format.md; keep the two in step.
//
// ==== Versions ====
// ==== Numbers ====
// ==== Reader ====
// ==== Writer ====
// ==== Files ====
#include "world_file.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "collection.h"
#include "stream.h"
#include "surface.h"

static const char kMagic[] = "OMBRIX-WORLD";

// ==== Versions ====
// What came after version 1, each with the version it came with: the writer
// takes the highest of those a world uses, the reader refuses each in a file
// of a lower version. Something new in the format gets its line here.

enum Since : int {
  kSinceHeights = 2,  // the `heights` record
  kSinceStep = 2,     // `step NAME` after a portal
  kSinceImages = 2,   // the `image` record
};

static bool uses_images(const OM_World* w) {
  for (reg k = 0; k < world_image_count(w); k++)
    if (world_image(w, k)->active) return true;
  return false;
}

static bool uses_steps(const OM_World* w) {
  for (reg s = 0; s < world_sector_count(w); s++) {
    const OM_WorldSector* sector = world_sector(w, s);
    for (reg e = 0; e < sector_edge_count(sector); e++) {
      const OM_WorldEdge* edge = sector_edge(sector, e);
      if (edge->type == OM_EDGE_PORTAL && edge->portal_step != 0) return true;
    }
  }
  return false;
}

int world_file_version(const OM_World* w) {
  int version = OM_WORLD_FILE_OLDEST;
  auto needs = [&version](bool used, int since) {
    if (used && since > version) version = since;
  };
  needs(w && w->heights, kSinceHeights);
  needs(uses_steps(w), kSinceStep);
  needs(uses_images(w), kSinceImages);
  return version;
}

// ==== Numbers ====
// std::from_chars and std::to_chars: exact, and blind to the C locale, so a
// file written under one locale reads back bit for bit under any other.

enum NumberStatus { NUMBER_OK, NUMBER_BAD, NUMBER_RANGE, NUMBER_INFINITE };

static NumberStatus read_f32(const char* s, reg n, f32* out) {
  auto [end, ec] = std::from_chars(s, s + n, *out, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) return NUMBER_RANGE;
  if (ec != std::errc() || end != s + n) return NUMBER_BAD;
  return std::isfinite(*out) ? NUMBER_OK : NUMBER_INFINITE;
}

static NumberStatus read_u32(const char* s, reg n, u32* out) {
  auto [end, ec] = std::from_chars(s, s + n, *out, 10);
  if (ec == std::errc::result_out_of_range) return NUMBER_RANGE;
  if (ec != std::errc() || end != s + n) return NUMBER_BAD;
  return NUMBER_OK;
}

// "0x" and exactly eight hex digits, either case.
static bool read_colour(const char* s, reg n, u32* out) {
  if (n != 10 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X')) return false;
  u32 value = 0;
  for (reg i = 2; i < n; i++) {
    char c = s[i];
    u32 digit;
    if (c >= '0' && c <= '9') {
      digit = u32(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = u32(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = u32(c - 'A' + 10);
    } else {
      return false;
    }
    value = value << 4 | digit;
  }
  *out = value;
  return true;
}

// ==== Reader ====

// The longest record: edge I V1 V2 portal S E step NAME.
static const int kMaxTokens = 9;

struct Token {
  const char* at;
  reg length;
};

struct Parser {
  const char* at;
  const char* end;
  reg line;  // of the record being read, counted from 1
  char* why;
  reg whySize;
  OM_World* w;
  // Where each sector and each edge (in file order) was read, and the file
  // index of each sector's first edge: faults world_check finds after the
  // whole file is in are reported at their own line.
  OM_Collection* sectorLines;
  OM_Collection* edgeLines;
  OM_Collection* firstEdges;
  reg edges;
  int version;  // the header's
  bool started;
  bool heights;
  bool ended;
  reg endLine;
  reg textureLines[OM_WORLD_TEXTURE_COUNT];  // where each name was first used; 0: unused
  const char* file;  // the world file's name, which image paths are relative to; null: none
  Token tokens[kMaxTokens + 1];
  int count;  // tokens on this line; kMaxTokens + 1 means too many
};

static bool fail(Parser* p, const char* format, ...) OM_FORMAT(2, 3);

// "line N: " and the reason; always false.
static bool fail(Parser* p, const char* format, ...) {
  if (!p->why || p->whySize == 0) return false;
  int n = snprintf(p->why, p->whySize, "line %zu: ", p->line);
  if (n < 0 || reg(n) >= p->whySize) return false;
  va_list args;
  va_start(args, format);
  vsnprintf(p->why + n, p->whySize - reg(n), format, args);
  va_end(args);
  return false;
}

// A token as a message may show it: printable ASCII only, and not too long.
struct Shown {
  char text[40];
};
static Shown show(Token t) {
  Shown s;
  reg n = t.length < 24 ? t.length : 24;
  for (reg i = 0; i < n; i++) {
    unsigned char c = static_cast<unsigned char>(t.at[i]);
    s.text[i] = c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
  }
  strcpy(s.text + n, t.length > n ? "..." : "");
  return s;
}

static bool is(Token t, const char* word) {
  reg n = strlen(word);
  return t.length == n && memcmp(t.at, word, n) == 0;
}

static bool push_u32(OM_Collection* c, reg value) {
  u32 v = static_cast<u32>(value);
  reg before = c->length;
  OM_Collection_Push(c, &v);
  return c->length > before;
}

// Cuts the next line into tokens; a '#' at the start of a token begins a
// comment that runs to the end of the line.
static bool next_line(Parser* p, Token* rest) {
  const char* nl = static_cast<const char*>(memchr(p->at, '\n', reg(p->end - p->at)));
  const char* stop = nl ? nl : p->end;
  rest->at = p->at;
  rest->length = reg(stop - p->at);
  p->at = nl ? nl + 1 : p->end;
  p->line++;
  if (rest->length && rest->at[rest->length - 1] == '\r') rest->length--;  // CR LF files
  if (rest->length > OM_WORLD_FILE_MAX_LINE)
    return fail(p, "the line is longer than %zu bytes", OM_WORLD_FILE_MAX_LINE);

  p->count = 0;
  const char* s = rest->at;
  const char* e = rest->at + rest->length;
  while (true) {
    while (s < e && (*s == ' ' || *s == '\t')) s++;
    if (s == e || *s == '#') break;
    const char* t = s;
    while (s < e && *s != ' ' && *s != '\t') s++;
    if (p->count == kMaxTokens + 1) break;
    p->tokens[p->count++] = {t, reg(s - t)};
  }
  return true;
}

static bool expect(Parser* p, int count, const char* usage) {
  if (p->count == count) return true;
  return fail(p, "expected '%s'", usage);
}

static bool float_field(Parser* p, Token t, const char* field, f32* out) {
  switch (read_f32(t.at, t.length, out)) {
    case NUMBER_OK: return true;
    case NUMBER_RANGE:
      return fail(p, "%s '%s' is out of range for a 32-bit float", field, show(t).text);
    case NUMBER_INFINITE: return fail(p, "%s '%s' is not a finite number", field, show(t).text);
    default: return fail(p, "%s '%s' is not a number", field, show(t).text);
  }
}

static bool index_field(Parser* p, Token t, const char* field, u32* out) {
  switch (read_u32(t.at, t.length, out)) {
    case NUMBER_OK: return true;
    case NUMBER_RANGE: return fail(p, "%s '%s' is far too large", field, show(t).text);
    default: return fail(p, "%s '%s' is not a whole number", field, show(t).text);
  }
}

// Records are numbered in the file so that a person editing it can find
// what an edge or a portal names; the numbers must run 0, 1, 2, ...
static bool in_order(Parser* p, Token t, const char* what, reg expected) {
  u32 i;
  if (!index_field(p, t, what, &i)) return false;
  if (i == expected) return true;
  return fail(p, "%s %u is out of order: %s %zu comes next", what, unsigned(i), what, expected);
}

// Textures are decoded only once the whole file has passed: until then a
// surface field holds a stand-in that only says which slot it was.
static OM_Surface standIns[OM_WORLD_TEXTURE_COUNT + OM_WORLD_MAX_IMAGES];

static bool texture(Parser* p, Token t, OM_Surface** out) {
  *out = nullptr;
  if (is(t, "none")) return true;
  for (reg i = 0; i < OM_WORLD_TEXTURE_COUNT; i++) {
    if (!is(t, OM_worldTextureNames[i])) continue;
    *out = &standIns[i];
    if (!p->textureLines[i]) p->textureLines[i] = p->line;
    return true;
  }
  for (reg k = 0; k < world_image_count(p->w); k++) {
    if (!is(t, world_image(p->w, k)->name)) continue;
    *out = &standIns[OM_WORLD_TEXTURE_COUNT + k];
    return true;
  }
  return fail(p,
              "unknown texture '%s' (known: none, TEX_CWHITEWASH, TEX_FCONCRETE, TEX_WBRICKS, "
              "TEX_WDUMMY, TEX_WWHITEWASH%s)",
              show(t).text, world_image_count(p->w) ? " and the world's images" : "");
}

// Each image from its file, beside the world file. One that cannot be used
// is no fault of the world: the fallback's pixels stand in, the reason is
// kept for the session to print, and the record stays to be written back.
static void load_image(Parser* p, OM_WorldImage* image) {
  char why[sizeof image->why] = "";
  OM_Surface* surface = nullptr;
  char path[4096];
  const char* folder = p->w->folder ? p->w->folder : "";
  if (!p->file) {
    snprintf(why, sizeof why, "not read: the world has no file");
  } else if (snprintf(path, sizeof path, "file://%s%s", folder, image->path) >= int(sizeof path)) {
    snprintf(why, sizeof why, "the path is too long");
  } else {
    switch (OM_GetFileKind(path + 7)) {
      case OM_FILE_MISSING: snprintf(why, sizeof why, "no such file"); break;
      case OM_FILE_OTHER: snprintf(why, sizeof why, "not a file (a folder?)"); break;
      default: {
        OM_Stream* in = OM_OpenStream(path, OM_STREAM_READ);
        if (!in) {
          snprintf(why, sizeof why, "can't be read: %s", OM_FileError());
          break;
        }
        surface = OM_LoadImage(in, OM_IMAGE_MAX_SIDE, why, sizeof why);
        OM_ReleaseStream(in);
      }
    }
  }
  if (!surface) {
    surface = world_fallback_copy(p->w);
    image->failed = 1;
    snprintf(image->why, sizeof image->why, "%s", why);
  }
  image->surface = surface;
}

// Decodes every texture the file names and puts it in place of its stand-in.
static bool load_textures(Parser* p) {
  OM_Surface* loaded[OM_WORLD_TEXTURE_COUNT] = {};
  for (reg i = 0; i < OM_WORLD_TEXTURE_COUNT; i++) {
    if (!p->textureLines[i]) continue;
    loaded[i] = world_texture(p->w, OM_worldTextureNames[i]);
    if (loaded[i]) continue;
    p->line = p->textureLines[i];
    return fail(p, "the texture %s could not be loaded", OM_worldTextureNames[i]);
  }
  for (reg k = 0; k < world_image_count(p->w); k++) {
    OM_WorldImage* image = world_image(p->w, k);
    load_image(p, image);
    if (image->surface) continue;
    p->line = image->line;
    return fail(p, "out of memory");
  }
  auto place = [&](OM_Surface** field) {
    if (!*field) return;
    reg slot = reg(*field - standIns);
    *field = slot < OM_WORLD_TEXTURE_COUNT
                 ? loaded[slot]
                 : world_image(p->w, slot - OM_WORLD_TEXTURE_COUNT)->surface;
  };
  for (reg s = 0; s < world_sector_count(p->w); s++) {
    OM_WorldSector* sector = world_sector(p->w, s);
    place(&sector->floorTexture);
    place(&sector->ceilingTexture);
    for (reg e = 0; e < sector_edge_count(sector); e++) {
      OM_WorldEdge* edge = sector_edge(sector, e);
      if (edge->type == OM_EDGE_TEXTURE) place(&edge->texture);
    }
  }
  return true;
}

// A record of a later version than the file's is refused, naming the
// version it needs.
static bool since(Parser* p, int version, const char* what) {
  if (p->version >= version) return true;
  return fail(p, "%s needs %s %d", what, kMagic, version);
}

static bool read_heights(Parser* p) {
  if (!since(p, kSinceHeights, "'heights'") || !expect(p, 1, "heights")) return false;
  if (p->heights) return fail(p, "a second 'heights'");
  if (world_sector_count(p->w) > 0) return fail(p, "'heights' must come before the first sector");
  p->heights = true;
  p->w->heights = 1;
  return true;
}

// Seven fields at most, but for a portal's `step NAME`.
static bool too_many_fields(const Parser* p) {
  if (p->count <= 7) return false;
  return p->count > kMaxTokens || !is(p->tokens[0], "edge") || !is(p->tokens[7], "step");
}

// `step NAME` after a portal: the slot of a texture of its own (not none:
// leaving it out gives the default faces).
static bool read_step(Parser* p, u16* step) {
  if (!since(p, kSinceStep, "a portal's step texture")) return false;
  if (p->count != 9) return fail(p, "expected 'step NAME' after the portal");
  Token name = p->tokens[8];
  if (is(name, "none"))
    return fail(p, "step texture 'none': leave out 'step NAME' for the default step faces");
  OM_Surface* named;
  if (!texture(p, name, &named)) return false;
  *step = static_cast<u16>(named - standIns + 1);
  return true;
}

// `image NAME PATH`: declared before the sectors that use it. The file is
// read only once the whole world has passed.
static bool read_image(Parser* p) {
  if (!since(p, kSinceImages, "'image'") || !expect(p, 3, "image NAME PATH")) return false;
  if (world_sector_count(p->w) > 0) return fail(p, "'image' must come before the first sector");
  Token name = p->tokens[1], path = p->tokens[2];
  char why[160];
  if (!world_image_name_ok(name.at, name.length, why, sizeof why) ||
      !world_image_path_ok(path.at, path.length, why, sizeof why))
    return fail(p, "image '%s': %s", show(name).text, why);
  OM_WorldImage image = {};
  memcpy(image.name, name.at, name.length);
  memcpy(image.path, path.at, path.length);
  if (world_texture_slot(p->w, image.name) != world_texture_slots(p->w))
    return fail(p, "a second image called %s", image.name);
  if (world_image_count(p->w) == OM_WORLD_MAX_IMAGES)
    return fail(p, "more than %zu images", OM_WORLD_MAX_IMAGES);
  image.line = u32(p->line);
  image.active = 1;
  if (!p->w->images) p->w->images = OM_CreateCollection(8, sizeof(OM_WorldImage));
  reg before = world_image_count(p->w);
  if (p->w->images) OM_Collection_Push(p->w->images, &image);
  return world_image_count(p->w) > before || fail(p, "out of memory");
}

static bool read_start(Parser* p) {
  if (!expect(p, 5, "start X Y Z ANGLE")) return false;
  if (p->started) return fail(p, "a second 'start'");
  GameObject& s = p->w->start;
  if (!float_field(p, p->tokens[1], "start x", &s.x) ||
      !float_field(p, p->tokens[2], "start y", &s.y) ||
      !float_field(p, p->tokens[3], "start z", &s.z) ||
      !float_field(p, p->tokens[4], "start angle", &s.angle))
    return false;
  p->started = true;
  return true;
}

static bool read_vertex(Parser* p) {
  if (!expect(p, 4, "vertex INDEX X Y")) return false;
  OM_Collection* vertices = p->w->vertices;
  if (world_sector_count(p->w) > 0) return fail(p, "the vertices must come before the sectors");
  if (vertices->length == OM_WORLD_MAX_VERTICES)
    return fail(p, "more than %zu vertices", OM_WORLD_MAX_VERTICES);
  OM_WorldVertex v;
  if (!in_order(p, p->tokens[1], "vertex", vertices->length) ||
      !float_field(p, p->tokens[2], "vertex x", &v.x) ||
      !float_field(p, p->tokens[3], "vertex y", &v.y))
    return false;
  reg before = vertices->length;
  OM_Collection_Push(vertices, &v);
  return vertices->length > before || fail(p, "out of memory");
}

static bool read_sector(Parser* p) {
  if (!expect(p, 6, "sector INDEX FLOOR CEILING FLOOR-TEXTURE CEILING-TEXTURE")) return false;
  OM_Collection* sectors = p->w->sectors;
  if (sectors->length == OM_WORLD_MAX_SECTORS)
    return fail(p, "more than %zu sectors", OM_WORLD_MAX_SECTORS);
  OM_WorldSector s = {};
  if (!in_order(p, p->tokens[1], "sector", sectors->length) ||
      !float_field(p, p->tokens[2], "floor height", &s.floorHeight) ||
      !float_field(p, p->tokens[3], "ceiling height", &s.ceilingHeight) ||
      !texture(p, p->tokens[4], &s.floorTexture) || !texture(p, p->tokens[5], &s.ceilingTexture))
    return false;
  s.edges = OM_CreateCollection(4, sizeof(OM_WorldEdge));
  if (!s.edges) return fail(p, "out of memory");
  reg before = sectors->length;
  OM_Collection_Push(sectors, &s);
  if (sectors->length == before) {
    OM_DestroyCollection(s.edges);
    return fail(p, "out of memory");
  }
  if (!push_u32(p->sectorLines, p->line) || !push_u32(p->firstEdges, p->edges))
    return fail(p, "out of memory");
  return true;
}

static bool read_edge(Parser* p) {
  const char* usage = "edge INDEX V1 V2 colour 0xAARRGGBB|texture NAME|portal SECTOR EDGE";
  if (p->count < 6) return fail(p, "expected '%s'", usage);
  const reg s = world_sector_count(p->w);
  if (s == 0) return fail(p, "an edge before the first sector");
  OM_WorldSector* sector = world_sector(p->w, s - 1);
  const reg e = sector->edges->length;
  if (e == OM_WORLD_MAX_EDGES)
    return fail(p, "sector %zu has more than %zu edges", s - 1, OM_WORLD_MAX_EDGES);
  if (!in_order(p, p->tokens[1], "edge", e)) return false;

  OM_WorldEdge edge = {};
  const reg vertices = world_vertex_count(p->w);
  for (int i = 0; i < 2; i++) {
    u32 v;
    if (!index_field(p, p->tokens[2 + i], i ? "v2" : "v1", &v)) return false;
    if (v >= vertices)
      return fail(p, "sector %zu edge %zu names vertex %u, the world has %zu vertices", s - 1, e,
                  unsigned(v), vertices);
    (i ? edge.v2 : edge.v1) = static_cast<u16>(v);
  }
  Token type = p->tokens[4];
  if (is(type, "colour")) {
    if (!expect(p, 6, "edge INDEX V1 V2 colour 0xAARRGGBB")) return false;
    edge.type = OM_EDGE_COLOR;
    if (!read_colour(p->tokens[5].at, p->tokens[5].length, &edge.color))
      return fail(p, "colour '%s' is not 0xAARRGGBB", show(p->tokens[5]).text);
  } else if (is(type, "texture")) {
    if (!expect(p, 6, "edge INDEX V1 V2 texture NAME")) return false;
    edge.type = OM_EDGE_TEXTURE;
    if (!texture(p, p->tokens[5], &edge.texture)) return false;
  } else if (is(type, "portal")) {
    bool fields = p->count > 7 ? read_step(p, &edge.portal_step)
                               : expect(p, 7, "edge INDEX V1 V2 portal SECTOR EDGE");
    if (!fields) return false;
    edge.type = OM_EDGE_PORTAL;
    u32 ts, te;
    if (!index_field(p, p->tokens[5], "portal sector", &ts) ||
        !index_field(p, p->tokens[6], "portal edge", &te))
      return false;
    // Whether they exist is known once the whole file is in (world_check).
    if (ts >= OM_WORLD_MAX_SECTORS)
      return fail(p, "sector %zu edge %zu leads to sector %u, a world has at most %zu sectors",
                  s - 1, e, unsigned(ts), OM_WORLD_MAX_SECTORS);
    if (te >= OM_WORLD_MAX_EDGES)
      return fail(p, "sector %zu edge %zu leads to edge %u, a sector has at most %zu edges", s - 1,
                  e, unsigned(te), OM_WORLD_MAX_EDGES);
    edge.portal_sector = static_cast<u16>(ts);
    edge.portal_edge = static_cast<u16>(te);
  } else {
    return fail(p, "unknown edge type '%s' (colour, texture or portal)", show(type).text);
  }
  OM_Collection_Push(sector->edges, &edge);
  if (sector->edges->length == e || !push_u32(p->edgeLines, p->line))
    return fail(p, "out of memory");
  p->edges++;
  return true;
}

static bool read_header(Parser* p) {
  static const unsigned char bom[3] = {0xEF, 0xBB, 0xBF};  // some editors put one first
  if (p->end - p->at >= 3 && memcmp(p->at, bom, 3) == 0) p->at += 3;
  if (p->at == p->end) {
    p->line = 1;
    return fail(p, "the file is empty");
  }
  Token line;
  if (!next_line(p, &line)) return false;
  u32 version;
  if (p->count == 0 || !is(p->tokens[0], kMagic))
    return fail(p, "not an Ombrix world: the file does not start with '%s %d'", kMagic,
                OM_WORLD_FILE_OLDEST);
  if (p->count != 2 || read_u32(p->tokens[1].at, p->tokens[1].length, &version) != NUMBER_OK)
    return fail(p, "expected '%s %d'", kMagic, OM_WORLD_FILE_OLDEST);
  if (version < OM_WORLD_FILE_OLDEST || version > OM_WORLD_FILE_NEWEST)
    return fail(p, "format version %u is not supported: this program reads versions %d to %d",
                unsigned(version), OM_WORLD_FILE_OLDEST, OM_WORLD_FILE_NEWEST);
  p->version = int(version);
  return true;
}

static bool read_records(Parser* p) {
  Token line;
  while (p->at < p->end) {
    if (!next_line(p, &line)) return false;
    if (p->count == 0) continue;
    if (too_many_fields(p)) return fail(p, "too many fields");
    Token word = p->tokens[0];
    if (p->ended) return fail(p, "'%s' after 'end'", show(word).text);
    bool ok;
    if (is(word, "vertex")) {
      ok = read_vertex(p);
    } else if (is(word, "edge")) {
      ok = read_edge(p);
    } else if (is(word, "sector")) {
      ok = read_sector(p);
    } else if (is(word, "start")) {
      ok = read_start(p);
    } else if (is(word, "heights")) {
      ok = read_heights(p);
    } else if (is(word, "image")) {
      ok = read_image(p);
    } else if (is(word, "end")) {
      ok = expect(p, 1, "end");
      p->ended = true;
      p->endLine = p->line;
    } else {
      ok = fail(p, "unknown record '%s'", show(word).text);
    }
    if (!ok) return false;
  }
  if (!p->ended) return fail(p, "the file ends without 'end': it may have been cut short");
  p->line = p->endLine;
  if (!p->started) return fail(p, "the world has no 'start'");
  return true;
}

// The invariant, with its fault reported at the line of the record at fault.
static bool check(Parser* p) {
  char reason[256];
  OM_WorldFault at;
  if (world_check(p->w, reason, sizeof reason, &at)) return true;
  const u32* sectorLines = static_cast<const u32*>(p->sectorLines->data);
  const u32* edgeLines = static_cast<const u32*>(p->edgeLines->data);
  const u32* firstEdges = static_cast<const u32*>(p->firstEdges->data);
  if (at.sector < p->sectorLines->length) {
    p->line = sectorLines[at.sector];
    if (at.edge != OM_WORLD_NOWHERE) {
      reg i = firstEdges[at.sector] + at.edge;
      if (i < p->edgeLines->length) p->line = edgeLines[i];
    }
  }
  return fail(p, "%s", reason);
}

OM_World* world_parse(const char* text, reg size, char* why, reg whySize) {
  return world_parse_file(text, size, nullptr, why, whySize);
}

OM_World* world_parse_file(const char* text, reg size, const char* file, char* why, reg whySize) {
  if (why && whySize) why[0] = '\0';
  Parser p = {};
  p.file = file;
  p.at = text ? text : "";
  p.end = p.at + (text ? size : 0);
  p.why = why;
  p.whySize = whySize;
  p.w = world_create();
  p.sectorLines = OM_CreateCollection(16, sizeof(u32));
  p.edgeLines = OM_CreateCollection(64, sizeof(u32));
  p.firstEdges = OM_CreateCollection(16, sizeof(u32));
  bool ok = p.w && p.sectorLines && p.edgeLines && p.firstEdges && world_set_folder(p.w, file);
  if (!ok) fail(&p, "out of memory");
  ok = ok && read_header(&p) && read_records(&p) && check(&p) && load_textures(&p);
  OM_DestroyCollection(p.sectorLines);
  OM_DestroyCollection(p.edgeLines);
  OM_DestroyCollection(p.firstEdges);
  if (ok) return p.w;
  release_world(p.w);
  return nullptr;
}

// ==== Writer ====
// One growing block; each line reserves room for its longest form first, so
// the numbers go straight in with to_chars.

struct Text {
  char* data;
  reg length;
  reg capacity;
  bool failed;
};

static bool reserve(Text* t, reg more) {
  if (t->failed) return false;
  if (t->capacity - t->length >= more) return true;
  reg capacity = t->capacity ? t->capacity : 4096;
  while (capacity - t->length < more) capacity *= 2;
  char* data = static_cast<char*>(realloc(t->data, capacity));
  if (!data) return !(t->failed = true);
  t->data = data;
  t->capacity = capacity;
  return true;
}

// Callers reserve first; these only append.
static void put(Text* t, const char* s) {
  reg n = strlen(s);
  memcpy(t->data + t->length, s, n);
  t->length += n;
}
static void put_char(Text* t, char c) { t->data[t->length++] = c; }
static void put_u32(Text* t, u32 v) {
  t->data[t->length++] = ' ';
  t->length = reg(std::to_chars(t->data + t->length, t->data + t->capacity, v).ptr - t->data);
}
// The shortest text that reads back as exactly this f32.
static void put_f32(Text* t, f32 v) {
  t->data[t->length++] = ' ';
  t->length = reg(std::to_chars(t->data + t->length, t->data + t->capacity, v).ptr - t->data);
}
static void put_colour(Text* t, u32 c) {
  static const char digits[] = "0123456789ABCDEF";
  put(t, " 0x");
  for (int shift = 28; shift >= 0; shift -= 4) put_char(t, digits[(c >> shift) & 15]);
}

static const reg kLongestLine = 256;  // a record with its numbers at their longest

// The comments every file starts with, naming its records; version 2 adds
// its own.
static const char kHeader[] =
    "# One record per line; '#' starts a comment. Indices count from 0.\n"
    "# start X Y Z ANGLE\n"
    "# vertex INDEX X Y\n"
    "# sector INDEX FLOOR CEILING FLOOR-TEXTURE CEILING-TEXTURE, then its edges:\n"
    "# edge INDEX V1 V2 colour 0xAARRGGBB | texture NAME | portal SECTOR EDGE";
static const char kHeader2[] =
    " [step NAME]\n"
    "# heights (when present): the world is meant to be seen in heights mode";
static const char kHeaderImages[] =
    "\n# image NAME PATH: texture NAME from the image file PATH, relative to this file's folder";

char* world_format(const OM_World* w, reg* size, char* why, reg whySize) {
  if (size) *size = 0;
  if (!world_check(w, why, whySize)) return nullptr;
  const reg vertices = world_vertex_count(w), sectors = world_sector_count(w);
  // Every texture must be one the reader can name again.
  for (reg s = 0; s < sectors; s++) {
    const OM_WorldSector* sector = world_sector(w, s);
    if (!world_texture_name(w, sector->floorTexture) ||
        !world_texture_name(w, sector->ceilingTexture)) {
      snprintf(why, whySize, "sector %zu has a texture that is not one of the world's", s);
      return nullptr;
    }
    for (reg e = 0; e < sector_edge_count(sector); e++) {
      const OM_WorldEdge* edge = sector_edge(sector, e);
      if (edge->type == OM_EDGE_TEXTURE && !world_texture_name(w, edge->texture)) {
        snprintf(why, whySize, "sector %zu edge %zu has a texture that is not one of the world's",
                 s, e);
        return nullptr;
      }
    }
  }

  Text t = {};
  const int version = world_file_version(w);
  reserve(&t, sizeof kHeader + sizeof kHeader2 + 64 + vertices * 40 + sectors * 200);
  if (reserve(&t, sizeof kHeader + sizeof kHeader2 + sizeof kHeaderImages + kLongestLine * 2)) {
    put(&t, kMagic);
    put_u32(&t, u32(version));
    put_char(&t, '\n');
    put(&t, kHeader);
    if (version > OM_WORLD_FILE_OLDEST) put(&t, kHeader2);
    if (uses_images(w)) put(&t, kHeaderImages);
    put(&t, "\n\n");
    if (w->heights) put(&t, "heights\n");
  }
  for (reg k = 0; k < world_image_count(w); k++) {
    const OM_WorldImage* image = world_image(w, k);
    if (!image->active || !reserve(&t, sizeof image->name + sizeof image->path + 16)) continue;
    put(&t, "image ");
    put(&t, image->name);
    put_char(&t, ' ');
    put(&t, image->path);
    put_char(&t, '\n');
  }
  if (reserve(&t, kLongestLine * 2)) {
    put(&t, "start");
    put_f32(&t, w->start.x);
    put_f32(&t, w->start.y);
    put_f32(&t, w->start.z);
    put_f32(&t, w->start.angle);
    put(&t, "\n\n");
  }
  for (reg v = 0; v < vertices && reserve(&t, kLongestLine); v++) {
    const OM_WorldVertex* p = world_vertex(w, v);
    put(&t, "vertex");
    put_u32(&t, u32(v));
    put_f32(&t, p->x);
    put_f32(&t, p->y);
    put_char(&t, '\n');
  }
  for (reg s = 0; s < sectors && reserve(&t, kLongestLine); s++) {
    const OM_WorldSector* sector = world_sector(w, s);
    put(&t, "\nsector");
    put_u32(&t, u32(s));
    put_f32(&t, sector->floorHeight);
    put_f32(&t, sector->ceilingHeight);
    put_char(&t, ' ');
    put(&t, world_texture_name(w, sector->floorTexture));
    put_char(&t, ' ');
    put(&t, world_texture_name(w, sector->ceilingTexture));
    put_char(&t, '\n');
    for (reg e = 0; e < sector_edge_count(sector) && reserve(&t, kLongestLine); e++) {
      const OM_WorldEdge* edge = sector_edge(sector, e);
      put(&t, "edge");
      put_u32(&t, u32(e));
      put_u32(&t, edge->v1);
      put_u32(&t, edge->v2);
      if (edge->type == OM_EDGE_COLOR) {
        put(&t, " colour");
        put_colour(&t, edge->color);
      } else if (edge->type == OM_EDGE_TEXTURE) {
        put(&t, " texture ");
        put(&t, world_texture_name(w, edge->texture));
      } else {
        put(&t, " portal");
        put_u32(&t, edge->portal_sector);
        put_u32(&t, edge->portal_edge);
        if (edge->portal_step) {
          put(&t, " step ");
          put(&t, world_slot_name(w, edge->portal_step - 1u));  // shown: world_check
        }
      }
      put_char(&t, '\n');
    }
  }
  if (reserve(&t, kLongestLine)) put(&t, "\nend\n");
  if (t.failed) {
    free(t.data);
    snprintf(why, whySize, "out of memory");
    return nullptr;
  }
  if (size) *size = t.length;
  return t.data;
}

// ==== Files ====

static bool file_path(char* out, reg size, const char* prefix, const char* name,
                      const char* suffix) {
  int n = snprintf(out, size, "%s%s%s", prefix, name, suffix);
  return n >= 0 && reg(n) < size;
}

OM_World* world_read_file(const char* name, char* why, reg whySize) {
  if (why && whySize) why[0] = '\0';
  char path[4096];
  if (!name || !file_path(path, sizeof path, "file://", name, "")) {
    snprintf(why, whySize, "the file name is too long");
    return nullptr;
  }
  switch (OM_GetFileKind(name)) {
    case OM_FILE_MISSING: snprintf(why, whySize, "no such file"); return nullptr;
    case OM_FILE_OTHER: snprintf(why, whySize, "not a file (a folder?)"); return nullptr;
    default: break;
  }
  OM_Stream* in = OM_OpenStream(path, OM_STREAM_READ);
  if (!in) {
    snprintf(why, whySize, "can't be read: %s", OM_FileError());
    return nullptr;
  }
  // Read whole, in a block that doubles as it fills, up to one byte past the
  // limit so that a file over it is told from one just at it.
  char* text = nullptr;
  reg length = 0, capacity = 0;
  bool ok = true;
  while (ok) {
    if (length == capacity) {
      reg grown = capacity ? capacity * 2 : 65536;
      if (grown > OM_WORLD_FILE_MAX_BYTES + 1) grown = OM_WORLD_FILE_MAX_BYTES + 1;
      char* bigger = grown > capacity ? static_cast<char*>(realloc(text, grown)) : nullptr;
      if (!bigger) break;
      text = bigger;
      capacity = grown;
    }
    reg n = in->vTable->Read(in, text + length, capacity - length);
    if (n == 0) break;
    length += n;
  }
  OM_ReleaseStream(in);
  OM_World* w = nullptr;
  if (length > OM_WORLD_FILE_MAX_BYTES) {
    snprintf(why, whySize, "the file is larger than %zu MiB", OM_WORLD_FILE_MAX_BYTES >> 20);
  } else if (length == capacity && capacity <= OM_WORLD_FILE_MAX_BYTES) {
    snprintf(why, whySize, "out of memory");  // the block could not grow
  } else {
    w = world_parse_file(text, length, name, why, whySize);
  }
  free(text);
  return w;
}

// Whether the file `name` holds exactly these bytes.
static bool holds(const char* name, const char* text, reg size) {
  char path[4096];
  if (!file_path(path, sizeof path, "file://", name, "")) return false;
  OM_Stream* in = OM_OpenStream(path, OM_STREAM_READ);
  if (!in) return false;
  char chunk[16384];
  reg at = 0;
  bool same = true;
  for (reg n; same && (n = in->vTable->Read(in, chunk, sizeof chunk)) != 0; at += n)
    same = at + n <= size && memcmp(chunk, text + at, n) == 0;
  OM_ReleaseStream(in);
  return same && at == size;
}

// A save that failed, once world_refuse has written why.
static OM_SaveResult failed(bool) { return OM_SAVE_FAILED; }

// Creates `name` with exactly these bytes, on disk; on failure removes
// whatever was made of it and leaves the reason in `reason`.
static bool write_new(const char* name, const char* text, reg size, char* reason, reg reasonSize) {
  char path[4096];
  if (!file_path(path, sizeof path, "file://", name, "")) return false;
  OM_Stream* out =
      OM_OpenStream(path, static_cast<OM_Stream_Flags>(OM_STREAM_WRITE | OM_STREAM_CREATE));
  bool ok = out && OM_WriteStream(out, text, size) && OM_SyncStream(out);
  OM_ReleaseStream(out);
  if (!ok) {
    snprintf(reason, reasonSize, "%s", OM_FileError());  // before the removal may change it
    if (out) OM_RemoveFile(name);
  }
  return ok;
}

OM_SaveResult world_write_file(const char* name, const OM_World* w, int flags, char* why,
                               reg whySize) {
  if (why && whySize) why[0] = '\0';
  if (!name || !*name) return failed(world_refuse(why, whySize, "no file name"));
  char temporary[4096], backup[4096], backupTemporary[4096];
  if (!file_path(temporary, sizeof temporary, "", name, ".tmp") ||
      !file_path(backup, sizeof backup, "", name, ".bak") ||
      !file_path(backupTemporary, sizeof backupTemporary, "", name, ".bak.tmp") ||
      strlen(name) > 4000)
    return failed(world_refuse(why, whySize, "the file name is too long"));

  char reason[256];
  reg size = 0;
  char* text = world_format(w, &size, reason, sizeof reason);
  if (!text) return failed(world_refuse(why, whySize, "the world can't be written: %s", reason));

  OM_SaveResult result = OM_SAVE_WRITTEN;
  const OM_FileKind kind = OM_GetFileKind(name);
  if (kind == OM_FILE_OTHER) {
    result = failed(world_refuse(why, whySize, "'%s' is a folder, not a file", name));
  } else if (kind == OM_FILE_REGULAR && holds(name, text, size)) {
    result = OM_SAVE_UNCHANGED;  // a held Ctrl+S must not turn the backup into this
  } else if (!write_new(temporary, text, size, reason, sizeof reason)) {
    result = failed(world_refuse(why, whySize, "can't write '%s': %s", temporary, reason));
  } else if (kind == OM_FILE_REGULAR && (flags & OM_SAVE_BACKUP) &&
             !(OM_CopyFile(name, backupTemporary) && OM_ReplaceFile(backupTemporary, backup))) {
    result = failed(world_refuse(why, whySize, "can't keep the previous version as '%s': %s",
                                 backup, OM_FileError()));
    OM_RemoveFile(backupTemporary);
    OM_RemoveFile(temporary);
  } else if (!OM_ReplaceFile(temporary, name)) {
    result = failed(world_refuse(why, whySize, "can't replace '%s': %s", name, OM_FileError()));
    OM_RemoveFile(temporary);
  }
  free(text);
  return result;
}
