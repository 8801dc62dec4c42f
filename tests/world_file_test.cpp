// World files: round trips, the sample world, bad and damaged files, saving and its failures.
#include "world_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "grid_support.h"
#include "object_camera.h"
#include "object_player.h"
#include "render.h"
#include "scene_support.h"
#include "stream.h"
#include "surface.h"
#include "ui_console.h"
#include "world_session.h"

namespace {

namespace fs = std::filesystem;

// ==== Helpers ====

OM_World* parse(const std::string& text, std::string* why = nullptr) {
  char reason[512] = "";
  OM_World* w = world_parse(text.data(), text.size(), reason, sizeof reason);
  if (why) *why = reason;
  return w;
}

std::string file_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

// A file of the source tree's examples/ folder.
fs::path example(const char* name) { return fs::path(OM_SOURCE_DIR) / "examples" / name; }
OM_World* load_sample() { return load_world(example("sample.world").string().c_str()); }

bool same_bits(f32 a, f32 b) { return memcmp(&a, &b, sizeof a) == 0; }

// Every field, floats by their bits and textures by their names.
void expect_same(const OM_World* a, const OM_World* b) {
  ASSERT_EQ(world_vertex_count(a), world_vertex_count(b));
  ASSERT_EQ(world_sector_count(a), world_sector_count(b));
  EXPECT_EQ(memcmp(&a->start, &b->start, sizeof a->start), 0);
  EXPECT_EQ(a->heights, b->heights);
  EXPECT_EQ(memcmp(world_vertex(a, 0), world_vertex(b, 0),
                   world_vertex_count(a) * sizeof(OM_WorldVertex)),
            0);
  for (reg s = 0; s < world_sector_count(a); s++) {
    const OM_WorldSector *x = world_sector(a, s), *y = world_sector(b, s);
    EXPECT_TRUE(same_bits(x->floorHeight, y->floorHeight) &&
                same_bits(x->ceilingHeight, y->ceilingHeight))
        << s;
    EXPECT_STREQ(world_texture_name(a, x->floorTexture), world_texture_name(b, y->floorTexture));
    EXPECT_STREQ(world_texture_name(a, x->ceilingTexture),
                 world_texture_name(b, y->ceilingTexture));
    ASSERT_EQ(sector_edge_count(x), sector_edge_count(y)) << s;
    for (reg e = 0; e < sector_edge_count(x); e++) {
      const OM_WorldEdge *p = sector_edge(x, e), *q = sector_edge(y, e);
      EXPECT_TRUE(p->v1 == q->v1 && p->v2 == q->v2 && p->type == q->type) << s << " " << e;
      if (p->type == OM_EDGE_TEXTURE)
        EXPECT_STREQ(world_texture_name(a, p->texture), world_texture_name(b, q->texture));
      else
        EXPECT_EQ(p->color, q->color) << s << " " << e;  // also both portal indices
      if (p->type == OM_EDGE_PORTAL) {
        EXPECT_EQ(p->portal_step, q->portal_step) << s << " " << e;
      }
    }
  }
}

// A folder of its own per test, removed with everything in it.
struct Scratch {
  fs::path dir;
  explicit Scratch(const char* name) : dir(fs::path("om_scratch") / name) {
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir, ec);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(dir, ec);
    // The shared parent stays: CTest runs tests side by side, and removing
    // it can pull it from under another test's create_directories.
  }
  std::string at(const char* name) const { return (dir / name).generic_string(); }
};

// ==== Round trips ====

TEST(WorldFile, EveryFieldSurvivesARoundTripAndASecondSaveIsByteIdentical) {
  OM_World* extreme = world_builtin();  // floats where shortest output bites
  const f32 odd[][2] = {
      {-0.0f, FLT_TRUE_MIN}, {FLT_MAX, -FLT_MAX}, {0.1f, 1.0f / 3.0f}, {FLT_MIN, -16777217.0f}};
  for (int i = 0; i < 4; i++) *world_vertex(extreme, i) = {odd[i][0], odd[i][1]};
  extreme->start = {-0.0f, 1e-7f, 123456.79f, -1e30f};
  world_sector(extreme, 2)->floorHeight = -2.5e-3f;
  world_edge(extreme, 0, 0)->type = OM_EDGE_COLOR;
  world_edge(extreme, 0, 0)->color = 0x00ABCDEF;

  Scratch scratch("round_trip");
  const std::string file = scratch.at("w.world");
  OM_World* worlds[] = {world_builtin(), load_sample(), make_grid_world(255), extreme};
  EXPECT_EQ(file_bytes(example("builtin.world")), world_text(worlds[0]));  // the documented one
  EXPECT_EQ(make_grid_world(256), nullptr);  // 66049 vertices do not fit 16 bits
  ASSERT_NE(worlds[2], nullptr);
  EXPECT_EQ(world_vertex_count(worlds[2]), 65536u);
  EXPECT_EQ(world_sector_count(worlds[2]), 65025u);
  EXPECT_EQ(world_edge(worlds[2], 65024, 3)->portal_sector, 65023);
  for (int i = 0; i < 4; i++) {
    SCOPED_TRACE(i);
    OM_World* w = worlds[i];
    ASSERT_NE(w, nullptr);
    const std::string text = world_text(w);
    EXPECT_LT(text.size(), OM_WORLD_FILE_MAX_BYTES / 4);
    std::string why;
    OM_World* again = parse(text, &why);
    ASSERT_NE(again, nullptr) << why;
    expect_same(w, again);
    EXPECT_EQ(world_text(again), text);

    // Through the file: saved (over a copy cut short, which is not up to
    // date), loaded, saved again without a change.
    write_file(file, text.substr(0, text.size() / 2));
    save_world(file.c_str(), w);
    OM_World* loaded = load_world(file.c_str());
    ASSERT_NE(loaded, nullptr) << buffer;
    expect_same(w, loaded);
    buffer[0] = '\0';
    save_world(file.c_str(), loaded);
    EXPECT_EQ(buffer, "'" + file + "' is up to date: " + std::to_string(world_vertex_count(w)) +
                          " vertices, " + std::to_string(world_sector_count(w)) + " sectors\n");
    EXPECT_EQ(file_bytes(file), text);
    for (OM_World* x : {w, again, loaded}) release_world(x);
  }
}

// A world is written in the lowest version that holds it: the built-in
// world as version 1 always wrote it, version 2 once it asks for heights
// mode or a portal has a step texture, which the reader decodes.
TEST(WorldFile, TheLowestVersionThatHoldsTheWorldIsWritten) {
  OM_World* w = world_builtin();
  const struct {
    u8 heights;
    u16 step;  // of sector 0's edge 4, "edge 4 4 0 portal 2 1"
    const char* holds;
  } rows[] = {
      {0, 0, "OMBRIX-WORLD 1\n"},
      {1, 0, "OMBRIX-WORLD 2\n"},
      {1, 5,
       "[step NAME]\n# heights (when present): the world is meant to be seen in heights "
       "mode\n\nheights\nstart 4 4 0 0\n"},
      {0, 3, "portal 2 1 step TEX_WBRICKS\n"},
      {0, 6, "unwritable: sector 0 edge 4 has step texture 6, the world knows 5 textures"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.holds);
    w->heights = r.heights;
    world_edge(w, 0, 4)->portal_step = r.step;
    const std::string text = world_text(w);
    EXPECT_NE(text.find(r.holds), std::string::npos) << text.substr(0, 500);
    EXPECT_EQ(text == file_bytes(example("builtin.world")), !r.heights && !r.step);
    OM_World* again = parse(text);
    if (r.step > OM_WORLD_TEXTURE_COUNT) continue;
    ASSERT_NE(again, nullptr);
    expect_same(w, again);
    EXPECT_EQ(world_step_texture(again, world_edge(again, 0, 4)) != nullptr, r.step != 0);
    release_world(again);
  }
  release_world(w);
}

TEST(SampleWorld, HasRoomsPortalsAWrapAroundHeightsAndEveryTexture) {
  buffer[0] = '\0';
  OM_World* w = load_sample();
  ASSERT_NE(w, nullptr) << buffer;
  EXPECT_NE(strstr(buffer, "sample.world': 29 vertices, 5 sectors\n"), nullptr) << buffer;
  EXPECT_EQ(get_sector_at(w, w->start.x, w->start.y), world_sector(w, 0));
  // A point inside each room finds that room: the outlines are where meant.
  const f32 rooms[5][2] = {{3, 2}, {8, 2}, {12, 2}, {3, -1.5f}, {3, 6}};
  for (int s = 0; s < 5; s++)
    EXPECT_EQ(get_sector_at(w, rooms[s][0], rooms[s][1]), world_sector(w, s));
  std::set<std::string> textures;
  std::set<f32> floors, ceilings;
  int wraps = 0;
  for (reg s = 0; s < world_sector_count(w); s++) {
    OM_WorldSector* sector = world_sector(w, s);
    floors.insert(sector->floorHeight);
    ceilings.insert(sector->ceilingHeight);
    textures.insert(world_texture_name(w, sector->floorTexture));
    textures.insert(world_texture_name(w, sector->ceilingTexture));
    for (reg e = 0; e < sector_edge_count(sector); e++) {
      OM_WorldEdge* edge = sector_edge(sector, e);
      f32 dx = 0, dy = 0;
      if (edge->type == OM_EDGE_TEXTURE) textures.insert(world_texture_name(w, edge->texture));
      if (world_portal_shift(w, edge, &dx, &dy)) wraps += dx != 0 || dy != 0;
    }
  }
  // Every built-in texture, "none", and its own images, found beside it.
  EXPECT_EQ(textures.size(), OM_WORLD_TEXTURE_COUNT + 1u + 2u);
  EXPECT_TRUE(world_image_count(w) == 2 && !world_image(w, 0)->failed &&
              !world_image(w, 1)->failed);
  EXPECT_GE(floors.size(), 3u);
  EXPECT_GE(ceilings.size(), 3u);
  EXPECT_EQ(wraps, 2);  // the pair between the gallery and the loft

  EXPECT_EQ(w->heights, 1);  // made for heights mode
  release_world(w);
}

// A ray that runs on through a loop of portals without meeting a wall leaves
// its column as it was: the sample's loop must not let one run straight on.
TEST(SampleWorld, TheStartViewDrawsEveryColumn) {
  SavedGlobals saved;
  world = load_sample();
  ASSERT_NE(world, nullptr);
  dummyTexture = world_texture(world, "TEX_WDUMMY");
  Player p = {};
  Camera camera = {world->start, 1.134464f, 128.0f, nullptr};
  p.object = world->start;
  p.sector = get_sector_at(world, p.object.x, p.object.y);
  player = &p;
  OM_camera = &camera;
  interlace = 0;
  OM_Surface* frame = OM_CreateSurface(640, 480);
  for (f32 turn : {0.0f, 0.0535f, -0.0535f, 1.5708f, 3.1416f, 4.7124f}) {
    camera.object.angle = world->start.angle + turn;
    for (int i = 0; i < 640 * 480; i++) frame->data[i] = 0x12345678u;
    draw_game_viewport(frame);
    int undrawn = 0;
    for (int x = 0; x < 640; x++) undrawn += frame->data[x + 640 * 240] == 0x12345678u;
    EXPECT_EQ(undrawn, 0) << "turned by " << turn;
  }
  OM_DestroySurface(frame);
  release_world(world);
}

// ==== Bad files ====
// Each row edits the built-in world's file (first occurrence of `find`) and
// names the reason the reader must give. Line 8 is the start, lines 10-25 the
// vertices, 27 sector 0 with its edges on 28-32, 34 sector 1 (edges 35-45),
// 47 sector 2 (edges 48-51), 53 the end.
struct Bad {
  const char* find;
  std::string replace;
  const char* why;
  int version = 1;  // 2: the header says OMBRIX-WORLD 2 first
};

const Bad kBad[] = {
    {"OMBRIX-WORLD 1", "OMBRIX-WURLD 1",
     "line 1: not an Ombrix world: the file does not start with 'OMBRIX-WORLD 1'"},
    {"OMBRIX-WORLD 1", "OMBRIX-WORLD 3",
     "line 1: format version 3 is not supported: this program reads versions 1 to 2"},
    {"\nstart 4 4 0 0", "\nheights\nstart 4 4 0 0", "line 8: 'heights' needs OMBRIX-WORLD 2"},
    {"portal 2 1", "portal 2 1 step TEX_WBRICKS",
     "line 32: a portal's step texture needs OMBRIX-WORLD 2"},
    {"\nsector 1 0 1", "\nheights\nsector 1 0 1",
     "line 34: 'heights' must come before the first sector", 2},
    {"portal 2 1", "portal 2 1 step none",
     "line 32: step texture 'none': leave out 'step NAME' for the default step faces", 2},
    {"OMBRIX-WORLD 1", "OMBRIX-WORLD one", "line 1: expected 'OMBRIX-WORLD 1'"},
    {"# start X Y Z ANGLE", "#" + std::string(1024, 'x'),  // one byte over
     "line 3: the line is longer than 1024 bytes"},
    {"vertex 3 1 3", "vortex 3 1 3", "line 13: unknown record 'vortex'"},
    {"vertex 3 1 3", "vertex 3 1", "line 13: expected 'vertex INDEX X Y'"},
    {"vertex 3 1 3", "vertex 3 1 3 4", "line 13: expected 'vertex INDEX X Y'"},
    {"edge 0 0 1 texture none", "edge 0 0 1 texture none a b", "line 28: too many fields"},
    {"vertex 3 1 3", "vertex 3 1 3,5", "line 13: vertex y '3,5' is not a number"},
    {"vertex 3 1 3", std::string("vertex 3 1\0 3", 13), "line 13: vertex x '1?' is not a number"},
    {"vertex 3 1 3", "vertex 3 1\x1b 3", "line 13: vertex x '1?' is not a number"},
    {"vertex 3 1 3", "vertex 3 nan 3", "line 13: vertex x 'nan' is not a finite number"},
    {"start 4 4 0 0", "start 4 4 0 -inf", "line 8: start angle '-inf' is not a finite number"},
    {"vertex 3 1 3", "vertex 3 1e39 3",
     "line 13: vertex x '1e39' is out of range for a 32-bit float"},
    {"vertex 3 1 3", "vertex 4 1 3", "line 13: vertex 4 is out of order: vertex 3 comes next"},
    {"vertex 3 1 3", "vertex 99999999999 1 3", "line 13: vertex '99999999999' is far too large"},
    {"vertex 3 1 3", "vertex -3 1 3", "line 13: vertex '-3' is not a whole number"},
    {"sector 1 0 1", "sector 5 0 1", "line 34: sector 5 is out of order: sector 1 comes next"},
    {"edge 2 2 3", "edge 3 2 3", "line 30: edge 3 is out of order: edge 2 comes next"},
    {"sector 1 0 1", "vertex 16 9 9\nsector 1 0 1",
     "line 34: the vertices must come before the sectors"},
    {"sector 0 0 1", "edge 0 0 1 texture none\nsector 0 0 1",
     "line 27: an edge before the first sector"},
    {"edge 0 0 1 texture none", "edge 0 0 70000 texture none",
     "line 28: sector 0 edge 0 names vertex 70000, the world has 16 vertices"},
    {"edge 0 0 1 texture none", "edge 0 0 0 texture none",
     "line 28: sector 0 edge 0 starts and ends at vertex 0"},
    {"edge 0 0 1 texture none", "edge 0 0 1 door none",
     "line 28: unknown edge type 'door' (colour, texture or portal)"},
    {"edge 0 0 1 texture none", "edge 0 0 1 colour 0xFF12345",
     "line 28: colour '0xFF12345' is not 0xAARRGGBB"},
    {"edge 0 0 1 texture none", "edge 0 0 1 texture tex_wbricks",
     "line 28: unknown texture 'tex_wbricks' (known: none, TEX_CWHITEWASH, TEX_FCONCRETE, "
     "TEX_WBRICKS, TEX_WDUMMY, TEX_WWHITEWASH)"},
    {"edge 0 0 1 texture none", "edge 0 0 1 portal 1",
     "line 28: expected 'edge INDEX V1 V2 portal SECTOR EDGE'"},
    {"portal 2 1", "portal 7 1",
     "line 32: sector 0 edge 4 leads to sector 7, the world has 3 sectors"},
    {"portal 2 1", "portal 2 9",
     "line 32: sector 0 edge 4 leads to edge 9 of sector 2, which has 4 edges"},
    {"portal 2 1", "portal 0 4", "line 32: sector 0 edge 4 is a portal to itself"},
    {"portal 2 1", "portal 1 1",
     "line 32: sector 0 edge 4 leads to sector 1 edge 1, which is not a portal back to it"},
    {"portal 0 2", "portal 0 4",  // back to sector 0, but to its other portal
     "line 30: sector 0 edge 2 leads to sector 1 edge 10, which is not a portal back to it"},
    {"portal 2 1", "portal 70000 1",
     "line 32: sector 0 edge 4 leads to sector 70000, a world has at most 65536 sectors"},
    {"edge 3 5 14", "edge 3 5 0",
     "line 51: sector 2 edge 3 ends at vertex 0, where no edge of the sector starts"},
    {"edge 3 5 14", "edge 3 5 15",
     "line 51: sector 2 edge 3 ends at vertex 15, where another edge of the sector ends"},
    {"\nend",
     "\nsector 3 0 1 none none\nedge 0 0 1 colour 0xFF000000\nedge 1 1 0 colour 0xFF000000\nend",
     "line 53: sector 3 has 2 edges, it needs 3 to 65536"},
    {"\nend",
     "\nsector 3 0 1 none none\nedge 0 0 1 colour 0xFF000000\nedge 1 0 2 colour "
     "0xFF000000\nedge 2 2 0 colour 0xFF000000\nend",
     "line 55: sector 3 edge 1 starts at vertex 0, where edge 0 of the sector starts too"},
    {"\nend",
     "\nsector 3 0 1 none none\nedge 0 0 1 texture none\nedge 1 1 2 texture none\n"
     "edge 2 2 0 texture none\nedge 3 13 14 texture none\nedge 4 14 15 texture none\n"
     "edge 5 15 13 texture none\nend",
     "line 57: sector 3 edge 3 is not on the outline through edge 0: the edges do not form one "
     "closed outline"},
    {"\nstart 4 4 0 0", "\nstart 4 4 0 0\nstart 1 1 0 0", "line 9: a second 'start'"},
    {"\nstart 4 4 0 0", "", "line 52: the world has no 'start'"},
    {"\nend\n", "\n", "line 52: the file ends without 'end': it may have been cut short"},
    {"\nend\n", "\nend\nvertex 16 0 0\n", "line 54: 'vertex' after 'end'"},
    {"\nend\n", "\nend\nend\n", "line 54: 'end' after 'end'"},
};

TEST(WorldFile, EveryClassOfBadFileIsRefusedAtItsLineAndNothingIsLost) {
  OM_World* held = world_builtin();
  const std::string base = world_text(held);
  for (const Bad& row : kBad) {
    std::string text = base;
    if (row.version == 2) text.replace(0, 14, "OMBRIX-WORLD 2");
    reg at = text.find(row.find);
    ASSERT_NE(at, std::string::npos) << row.find;
    text.replace(at, strlen(row.find), row.replace);
    std::string why;
    OM_World* w = parse(text, &why);
    EXPECT_EQ(w, nullptr) << row.why;
    EXPECT_EQ(why, row.why);
    release_world(w);
  }
  // The counts' limits, one record past each.
  const std::string head = "OMBRIX-WORLD 1\nstart 0 0 0 0\n", two = "vertex 0 0 0\nvertex 1 1 0\n";
  const struct {
    std::string head;
    const char* record;
    const char* why;
  } limits[] = {
      {head, "vertex %d 0 0", "line 65539: more than 65536 vertices"},
      {head + two + "vertex 2 0 1\n", "sector %d 0 1 none none",
       "line 65542: more than 65536 sectors"},
      {head + two + "sector 0 0 1 none none\n", "edge %d 0 1 colour 0xFF000000",
       "line 65542: sector 0 has more than 65536 edges"},
  };
  for (const auto& limit : limits) {
    std::string text = limit.head, why;
    char line[64];
    for (int i = 0; i <= 65536; i++) text.append(line, snprintf(line, 64, limit.record, i)) += '\n';
    EXPECT_EQ(parse(text, &why), nullptr);
    EXPECT_EQ(why, limit.why);
  }
  // With every vertex index in use, one past the last must not wrap to vertex 0.
  std::string full = head, why;
  for (int i = 0; i < 65536; i++) full += "vertex " + std::to_string(i) + " 0 0\n";
  full +=
      "sector 0 0 1 none none\nedge 0 1 2 texture none\nedge 1 2 65536 texture none\n"
      "edge 2 65536 1 texture none\nend\n";
  EXPECT_EQ(parse(full, &why), nullptr);
  EXPECT_EQ(why, "line 65541: sector 0 edge 1 names vertex 65536, the world has 65536 vertices");

  // Through a file, the console gets exactly one line naming it.
  Scratch scratch("bad");
  const std::string file = scratch.at("bad.world"), folder = scratch.dir.generic_string();
  FILE* huge = fopen(scratch.at("huge.world").c_str(), "wb");
  ASSERT_NE(huge, nullptr);
  fseek(huge, long(OM_WORLD_FILE_MAX_BYTES), SEEK_SET);  // sparse where it can be
  fputc('\n', huge);
  fclose(huge);
  const struct {
    std::string name, bytes, why;
  } files[] = {
      {file, "", "line 1: the file is empty"},
      {file, base.substr(0, base.find("sector 1")),
       "line 33: the file ends without 'end': it may have been cut short"},
      {scratch.at("huge.world"), "", "the file is larger than 64 MiB"},
      {folder, "", "not a file (a folder?)"},
  };
  for (const auto& f : files) {
    if (f.name == file) write_file(file, f.bytes);
    buffer[0] = '\0';
    EXPECT_EQ(load_world(f.name.c_str()), nullptr);
    EXPECT_EQ(buffer, f.name + ": " + f.why + "\n");
  }
  EXPECT_EQ(world_text(held), base);
  release_world(held);
}

// What people's editors do to a file must not stop it loading; nor does the
// editor's split, which appends its new edge last: stored order is free.
TEST(WorldFile, LineEndingsCommentsSpacingAndEdgeOrderAreFree) {
  OM_World* w = world_builtin();
  const std::string base = world_text(w);
  std::string crlf, tabs = base, edited = base, split = base;
  for (char& c : tabs) c = c == ' ' ? '\t' : c;
  const std::pair<const char*, std::string> edits[] = {
      {"# start X Y Z ANGLE", "#" + std::string(1023, 'x')},  // a line just at the limit
      {"start 4 4 0 0", "  start 4.0 4e0 0.0 0  # where the player stands"},
      {"vertex 7 5 3.75", "vertex 0007 5 375e-2"},
      {"\nend\n", "\nend"},
  };
  for (const auto& [find, replace] : edits)
    edited.replace(edited.find(find), strlen(find), replace);
  // Windows line ends, the line at the limit included: the CR does not count.
  for (char c : edited) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const reg from = split.find("edge 0 14 15");
  split.replace(from, split.find("\n\nend") - from,
                "edge 0 5 14 texture TEX_WWHITEWASH\nedge 1 15 6 portal 0 4\n"
                "edge 2 6 5 portal 1 1\nedge 3 14 15 texture TEX_WWHITEWASH");
  const std::string texts[] = {crlf, tabs, "\xEF\xBB\xBF" + base, edited, split};
  for (const std::string& text : texts) {
    std::string why;
    OM_World* again = parse(text, &why);
    ASSERT_NE(again, nullptr) << why;
    if (&text != &texts[4]) expect_same(w, again);  // the split is another world
    release_world(again);
  }
  release_world(w);
}

// ==== Damaged files ====
// A file cut anywhere before its end, or with a byte changed anywhere, either
// reads as a valid world or is refused with a reason; it never crashes or
// leaks (the sanitizer build runs this too). The byte changes go to a copy
// without texture names: decoding textures for thousands of valid variants
// would cost seconds and test nothing the round trips do not.
TEST(WorldFile, EveryTruncationAndByteChangeLoadsAValidWorldOrIsRefused) {
  OM_World* builtin = world_builtin();
  OM_World* sample = load_sample();
  ASSERT_NE(sample, nullptr);
  for (OM_World* source : {builtin, sample}) {
    const std::string text = world_text(source);
    const reg whole = text.rfind("end\n") + 3;  // cut before this, the file is incomplete
    for (reg n = 0; n <= text.size(); n++) {
      std::string why;
      OM_World* w = parse(text.substr(0, n), &why);
      EXPECT_EQ(w != nullptr, n >= whole) << n << ": " << why;
      release_world(w);
    }
    std::string plain = text;
    for (const char* name : OM_worldTextureNames)
      for (reg at; (at = plain.find(name)) != std::string::npos;)
        plain.replace(at, strlen(name), "none");
    for (reg i = 0; i < plain.size(); i++) {
      for (char c : {'\0', '\n', ' ', '#', '-', '1', 'e', '\xFF'}) {
        std::string damaged = plain;
        damaged[i] = c;
        std::string why;
        OM_World* w = parse(damaged, &why);
        if (w) {
          EXPECT_TRUE(world_check(w, nullptr, 0));
          OM_World* again = parse(world_text(w));
          EXPECT_NE(again, nullptr);
          release_world(again);
        } else {
          EXPECT_EQ(why.rfind("line ", 0), 0u) << why;
        }
        release_world(w);
      }
    }
  }
  release_world(builtin);
  release_world(sample);
}

// ==== Saving ====

// Fails every step of a kind on a name ending in `suffix`, or else the `nth`
// step of that kind (counted from 1).
struct Fault {
  OM_FileStep step;
  const char* suffix;
  int nth;
  int seen;
};
Fault fault;

int inject(OM_FileStep step, const char* name) {
  if (step != fault.step) return 0;
  if (fault.suffix) {
    reg n = name ? strlen(name) : 0, k = strlen(fault.suffix);
    return n >= k && strcmp(name + n - k, fault.suffix) == 0;
  }
  return ++fault.seen == fault.nth;
}

// Saves with the fault injected (none when all zero); what the console got.
std::string save_failing(const std::string& name, OM_World* w, Fault f) {
  fault = f;
  OM_fileFault = inject;
  buffer[0] = '\0';
  save_world(name.c_str(), w);
  OM_fileFault = nullptr;
  return buffer;
}

// The previous version goes to NAME.bak. An identical save opens no file and
// keeps the backup; a quiet save (the autosave's) keeps none. A failure at
// any step, or a save refused, keeps the file and its backup as they were,
// says why on a second line and leaves no temporary file.
TEST(WorldSave, TheBackupHoldsThePreviousVersionAndNoFailureLosesIt) {
  SavedGlobals saved;
  Scratch scratch("save");
  const std::string name = scratch.at("w.world"), bak = name + ".bak", quiet = name + ".autosave";
  OM_World* w = world_builtin();
  save_world(name.c_str(), w);
  EXPECT_FALSE(fs::exists(bak));  // nothing came before
  const std::string first = file_bytes(name);
  w->start.angle = 1.0f;
  save_world(name.c_str(), w);
  const std::string second = file_bytes(name);
  EXPECT_EQ(file_bytes(bak), first);
  EXPECT_EQ(save_failing(name, w, {OM_FILE_OPEN, ".tmp", 0, 0}),
            "'" + name + "' is up to date: 16 vertices, 3 sectors\n");
  EXPECT_EQ(file_bytes(bak), first);
  char why[256];
  for (f32 angle : {1.0f, 2.0f}) {
    w->start.angle = angle;
    EXPECT_EQ(world_write_file(quiet.c_str(), w, OM_SAVE_QUIET, why, sizeof why), OM_SAVE_WRITTEN);
  }
  EXPECT_FALSE(fs::exists(quiet + ".bak"));

  OM_World* broken = world_builtin();
  world_edge(broken, 1, 3)->v2 = 99;
  OM_World* foreign = world_builtin();
  OM_Surface* stray = OM_CreateSurface(4, 4);
  world_sector(foreign, 2)->ceilingTexture = stray;
  const std::string folder = scratch.dir.generic_string(), missing = scratch.at("no/w.world"),
                    tmp = "can't write '" + name + ".tmp': ",
                    injected = "failure injected by a test",
                    keep = "can't keep the previous version as '" + bak + "': ",
                    invalid = "the world can't be written: sector ";
  const struct {
    Fault fault;
    std::string why;  // the second line; its start when it ends in a space
    bool backupReplaced = false;
    OM_World* world = nullptr;  // null: w
    const char* to = nullptr;   // the file saved to; null: the one above
  } rows[] = {
      {{OM_FILE_OPEN, ".tmp", 0, 0}, tmp + injected},
      {{OM_FILE_WRITE, nullptr, 1, 0}, tmp + injected},
      {{OM_FILE_SYNC, nullptr, 1, 0}, tmp + injected},
      {{OM_FILE_OPEN, "w.world", 0, 0}, keep + injected},  // reading the file to copy it
      // A read that fails part-way looks like the file's end: no short backup.
      {{OM_FILE_READ, "w.world", 0, 0}, keep + "'" + name + "' could not be read to its end"},
      {{OM_FILE_OPEN, ".bak.tmp", 0, 0}, keep + injected},
      {{OM_FILE_SYNC, nullptr, 2, 0}, keep + injected},
      {{OM_FILE_REPLACE, ".bak", 0, 0}, keep + injected},
      {{OM_FILE_REPLACE, "w.world", 0, 0}, "can't replace '" + name + "': " + injected, true},
      {{}, "'" + folder + "' is a folder, not a file", false, w, folder.c_str()},
      {{}, "can't write '" + missing + ".tmp': ", false, w, missing.c_str()},
      {{}, "no file name", false, w, ""},
      {{}, invalid + "1 edge 3 names vertex 99, the world has 16 vertices", false, broken},
      {{}, invalid + "2 has a texture that is not one of the world's", false, foreign},
  };
  for (const auto& row : rows) {
    const std::string to = row.to ? row.to : name;
    const std::string said = save_failing(to, row.world ? row.world : w, row.fault),
                      head = "Can't open file '" + to + "' for writing!\n" + row.why;
    if (row.why.back() == ' ')  // the system's reason follows
      EXPECT_EQ(said.substr(0, head.size()), head);
    else
      EXPECT_EQ(said, head + "\n");
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;
    EXPECT_EQ(file_bytes(name), second) << row.why;
    EXPECT_EQ(file_bytes(bak), row.backupReplaced ? second : first) << row.why;
    EXPECT_FALSE(fs::exists(to + ".tmp") || fs::exists(name + ".tmp") || fs::exists(bak + ".tmp"))
        << row.why;
    write_file(bak, first);
  }
  OM_DestroySurface(stray);
  for (OM_World* x : {w, broken, foreign}) release_world(x);
}

// Only the writer creates files, and only by asking for it: opening for
// writing alone still never creates one.
TEST(FileStream, CreatingIsExplicitAndEmptiesAnExistingFile) {
  Scratch scratch("create");
  const std::string name = scratch.at("f"), path = "file://" + name;
  for (int flags : {int(OM_STREAM_WRITE), OM_STREAM_READ | OM_STREAM_CREATE})
    EXPECT_EQ(OM_OpenStream(path.c_str(), OM_Stream_Flags(flags)), nullptr) << flags;
  EXPECT_FALSE(fs::exists(name));
  for (const char* text : {"first version", "second"}) {
    OM_Stream* s = OM_OpenStream(path.c_str(), OM_Stream_Flags(OM_STREAM_WRITE | OM_STREAM_CREATE));
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(OM_WriteStream(s, text, strlen(text)) && OM_SyncStream(s));
    OM_ReleaseStream(s);
    EXPECT_EQ(file_bytes(name), text);
  }
  EXPECT_EQ(OM_GetFileKind(name.c_str()), OM_FILE_REGULAR);
  EXPECT_EQ(OM_GetFileKind(scratch.dir.generic_string().c_str()), OM_FILE_OTHER);
  EXPECT_TRUE(OM_RemoveFile(name.c_str()));
  EXPECT_EQ(OM_GetFileKind(name.c_str()), OM_FILE_MISSING);
  EXPECT_FALSE(OM_RemoveFile(name.c_str()) || OM_ReplaceFile(name.c_str(), "elsewhere"));
  EXPECT_STRNE(OM_FileError(), "");
}

// ==== The invariant and the textures ====
// What the file rows above cannot reach: values no text can hold.
TEST(WorldCheck, NonFiniteValuesAndOverfullWorldsAreFaultsWithTheirPlace) {
  const reg none = OM_WORLD_NOWHERE;
  const struct {
    void (*spoil)(OM_World*);
    const char* why;
    OM_WorldFault where;
  } rows[] = {
      {[](OM_World* w) { world_vertex(w, 9)->y = INFINITY; },
       "vertex 9 is not a finite point",
       {none, none, 9}},
      {[](OM_World* w) { world_sector(w, 1)->ceilingHeight = -INFINITY; },
       "sector 1 has a height that is not finite",
       {1, none, none}},
      {[](OM_World* w) { w->start.z = std::nanf(""); },
       "the start is not a finite position",
       {none, none, none}},
      {[](OM_World* w) { world_edge(w, 2, 0)->type = 3; },
       "sector 2 edge 0 has the unknown type 3",
       {2, 0, none}},
      {[](OM_World* w) {
         OM_WorldVertex v = {0, 0};
         while (world_vertex_count(w) <= OM_WORLD_MAX_VERTICES) OM_Collection_Push(w->vertices, &v);
       },
       "the world has 65537 vertices, at most 65536 fit",
       {none, none, OM_WORLD_MAX_VERTICES}},
  };
  for (const auto& row : rows) {
    OM_World* w = world_builtin();
    row.spoil(w);
    char why[128] = "";
    OM_WorldFault where = {};
    EXPECT_FALSE(world_check(w, why, sizeof why, &where));
    EXPECT_STREQ(why, row.why);
    EXPECT_EQ(memcmp(&where, &row.where, sizeof where), 0) << row.why;
    release_world(w);
  }
  char why[32];
  EXPECT_FALSE(world_check(nullptr, why, sizeof why));
  EXPECT_STREQ(why, "there is no world");
}

TEST(WorldTextures, EachNameLoadsOnceAndNamesItsSurfaceBack) {
  OM_World* w = world_create();
  for (const char* name : OM_worldTextureNames) {
    OM_Surface* t = world_texture(w, name);
    ASSERT_NE(t, nullptr) << name;
    EXPECT_TRUE(t->w == 64 && t->h == 64) << name;
    EXPECT_EQ(world_texture(w, name), t);  // decoded once
    EXPECT_STREQ(world_texture_name(w, t), name);
  }
  for (const char* name : {(const char*)nullptr, "none", "TEX_NOPE", "tex_wbricks", "FNT_IBM"})
    EXPECT_EQ(world_texture(w, name), nullptr) << (name ? name : "null");
  OM_World* other = world_create();
  EXPECT_STREQ(world_texture_name(w, nullptr), "none");
  EXPECT_EQ(world_texture_name(w, world_texture(other, "TEX_WBRICKS")), nullptr);
  release_world(other);
  release_world(w);
}

}  // namespace
