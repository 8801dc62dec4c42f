// Benchmarks of what grows with the world: the editor's map frame, the
// point-in-sector lookup, and loading and saving, on grids of 30 x 30,
// 100 x 100 and 255 x 255 unit squares (tests/grid_support.h).
//
// Every map frame shows the same part of the map, centred on the point
// (15, 15) near the grids' first cells: at zoom 24 the 30 x 30 grid fills
// most of the view, as the larger ones do; at zoom 64 the whole 30 x 30 grid
// is in view, beside the empty map around it. Each frame is first compared
// with the frame drawn without culling, and each lookup with the plain
// winding test. The summary gives each case beside its counterpart on the
// smallest grid: the map frame against the same frame on 30 x 30, the
// lookups against a lookup on the built-in world, loading and saving per
// sector against 30 x 30 per sector.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_report.h"
#include "draw.h"
#include "editor.h"
#include "grid_support.h"
#include "object_camera.h"
#include "object_player.h"
#include "scene_support.h"
#include "sector_reference.h"
#include "stream.h"
#include "surface.h"
#include "world.h"
#include "world_file.h"

namespace {

const int kRepetitions = 9;
const int kSizes[] = {30, 100, 255};
const f32 kCentre = 15.0f;

double minimum(const std::vector<double>& v) {
  double m = v.empty() ? 0 : v[0];
  for (double x : v) m = x < m ? x : m;
  return m;
}

// Built once and kept for the whole run.
OM_World* grid(int n) {
  static OM_World* made[256];
  if (!made[n]) made[n] = make_grid_world(n);
  if (!made[n]) {
    fprintf(stderr, "the %d x %d grid could not be built\n", n, n);
    exit(1);
  }
  return made[n];
}

OM_Font* font() {
  static OM_Font* loaded = nullptr;
  if (!loaded) {
    OM_Stream* s = OM_OpenStream("res://FNT_IBM", OM_STREAM_READ);
    loaded = s ? OM_LoadFont(s) : nullptr;
    OM_ReleaseStream(s);
  }
  return loaded;
}

// The editor's map viewport over `w`, centred on (15, 15) at the zoom, the
// player standing in the square there (so its sector is filled) with the
// game camera on it.
struct MapScene {
  SavedGlobals restore;
  RV_Editor_Data data{};
  OM_Widget root{};
  OM_Widget view = {
      &OM_Widget_Prototype, RV_Editor_Viewport_HandleEvent, nullptr, nullptr, 0, 16, 640, 464};
  Player hero{};
  Camera camera{};
  OM_Surface* surface = OM_CreateSurface(640, 464);

  MapScene(OM_World* w, f32 zoom) {
    world = data.world = w;
    root.data = &data;
    OM_editor = &root;
    OM_font = font();
    hero.object = {kCentre + 0.5f, kCentre + 0.5f, 0.0f, 0.7f};
    hero.sector = get_sector_at(w, hero.object.x, hero.object.y);
    hero.world = w;
    player = &hero;
    camera.object = hero.object;
    camera.attached_to = &hero.object;
    OM_camera = &camera;
    data.camera.object = {-kCentre, -kCentre, zoom, 0.0f};
    relative_map_mode = 0;
  }
  ~MapScene() { OM_DestroySurface(surface); }
  void draw() {
    OM_Event e{};
    e.type = OM_EVENT_DRAW;
    e.surface = surface;
    RV_Editor_Viewport_HandleEvent(&view, view.super, &e);
  }
  std::vector<u32> pixels(int culling) {
    mapCulling = culling;
    draw();
    return std::vector<u32>(surface->data, surface->data + 640 * 464);
  }
};

void map(benchmark::State& state, int n, f32 zoom, int culling) {
  MapScene scene(grid(n), zoom);
  scene.draw();  // the first frame moves the selection to the player's sector
  if (scene.pixels(0) != scene.pixels(1)) {
    state.SkipWithError("the culled map differs from the whole map");
    return;
  }
  mapCulling = culling;
  for (auto _ : state) {
    scene.draw();
    benchmark::ClobberMemory();
  }
}

struct Point {
  f32 x, y;
};

std::vector<Point> points_in(f32 x0, f32 y0, f32 x1, f32 y1) {
  std::vector<Point> out;
  uint64_t s = 12345;
  for (int i = 0; i < 1024; ++i) {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    const f32 u = f32(s >> 40) / f32(1 << 24), v = f32((s >> 16) & 0xFFFFFF) / f32(1 << 24);
    out.push_back({x0 + (x1 - x0) * u, y0 + (y1 - y0) * v});
  }
  return out;
}

void lookups(benchmark::State& state, OM_World* w, const std::vector<Point>& points) {
  // The plain test is slow on the large grids: every eighth point is checked.
  for (size_t i = 0; i < points.size(); i += 8) {
    if (get_sector_at(w, points[i].x, points[i].y) !=
        reference_get_sector_at(w, points[i].x, points[i].y)) {
      state.SkipWithError("get_sector_at differs from the plain winding test");
      return;
    }
  }
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(get_sector_at(w, points[i].x, points[i].y));
    i = (i + 1) & 1023;
  }
}

// Random points over the built-in world's rooms and the strip between them.
void lookup_builtin(benchmark::State& state) {
  static OM_World* builtin = world_builtin();
  lookups(state, builtin, points_in(0, 0, 5, 5));
}

// Over the part of the map the zoom 24 frame shows, or over the whole grid.
void lookup(benchmark::State& state, int n, int whole) {
  const f32 halfW = 12.0f, halfH = 12.0f * 464.0f / 640.0f;
  lookups(state, grid(n),
          whole ? points_in(0, 0, f32(n), f32(n))
                : points_in(kCentre - halfW, kCentre - halfH, kCentre + halfW, kCentre + halfH));
}

// A lookup right after a change in place, as in each frame of a vertex
// drag: the index is made again.
void reindex(benchmark::State& state, int n) {
  OM_World* w = grid(n);
  for (auto _ : state) {
    world_changed(w);
    benchmark::DoNotOptimize(get_sector_at(w, kCentre, kCentre));
  }
}

// One step of a vertex drag: the vertex at (15, 15) moved in place, which
// the index follows, and a lookup. The grid is put back afterwards.
void drag(benchmark::State& state, int n) {
  OM_World* w = grid(n);
  const reg v = reg(kCentre) * reg(n + 1) + reg(kCentre);
  const OM_WorldVertex home = *world_vertex(w, v);
  get_sector_at(w, kCentre, kCentre);
  int step = 0;
  for (auto _ : state) {
    world_vertex(w, v)->x = home.x + 0.25f * f32(step++ & 3);
    world_vertex_moved(w, v);
    benchmark::DoNotOptimize(get_sector_at(w, kCentre + 0.1f, kCentre + 0.1f));
  }
  *world_vertex(w, v) = home;
  world_changed(w);
}

// Files go to OMBRIX_BENCH_DIR, or the system's temporary folder.
std::string file_for(int n) {
  const char* dir = getenv("OMBRIX_BENCH_DIR");
  std::filesystem::path at = dir && *dir ? dir : std::filesystem::temp_directory_path().string();
  return (at / ("ombrix_bench_" + std::to_string(getpid()) + "_" + std::to_string(n) + ".world"))
      .string();
}

// world_read_file: reading, parsing, the invariant and the textures.
void load(benchmark::State& state, int n) {
  const std::string name = file_for(n);
  char why[300];
  if (world_write_file(name.c_str(), grid(n), OM_SAVE_QUIET, why, sizeof why) == OM_SAVE_FAILED) {
    state.SkipWithError(why);
    return;
  }
  for (auto _ : state) {
    OM_World* w = world_read_file(name.c_str(), why, sizeof why);
    state.PauseTiming();
    if (!w || world_sector_count(w) != reg(n) * reg(n))
      state.SkipWithError("the grid did not load");
    release_world(w);
    state.ResumeTiming();
  }
  remove(name.c_str());
}

// world_write_file into a file that is not there yet: the text, the
// temporary file flushed to disk and renamed over the name.
void save(benchmark::State& state, int n) {
  const std::string name = file_for(n);
  char why[300];
  for (auto _ : state) {
    state.PauseTiming();
    remove(name.c_str());
    state.ResumeTiming();
    if (world_write_file(name.c_str(), grid(n), OM_SAVE_QUIET, why, sizeof why) != OM_SAVE_WRITTEN)
      state.SkipWithError(why);
  }
  remove(name.c_str());
}

// The text alone, both ways, in memory.
void parse(benchmark::State& state, int n) {
  reg size = 0;
  char why[300];
  char* text = world_format(grid(n), &size, why, sizeof why);
  for (auto _ : state) {
    OM_World* w = world_parse(text, size, why, sizeof why);
    state.PauseTiming();
    release_world(w);
    state.ResumeTiming();
  }
  free(text);
}

void format(benchmark::State& state, int n) {
  reg size = 0;
  char why[300];
  for (auto _ : state) {
    char* text = world_format(grid(n), &size, why, sizeof why);
    benchmark::DoNotOptimize(text);
    free(text);
  }
}

}  // namespace

#define OM_WORLD_BENCH(function, name, ...)      \
  BENCHMARK_CAPTURE(function, name, __VA_ARGS__) \
      ->Repetitions(kRepetitions)                \
      ->ComputeStatistics("min", minimum)        \
      ->ReportAggregatesOnly(true)               \
      ->Unit(benchmark::kMicrosecond)

OM_WORLD_BENCH(map, zoom24_30, 30, 24.0f, 1);
OM_WORLD_BENCH(map, zoom24_100, 100, 24.0f, 1);
OM_WORLD_BENCH(map, zoom24_255, 255, 24.0f, 1);
OM_WORLD_BENCH(map, zoom64_30, 30, 64.0f, 1);
OM_WORLD_BENCH(map, zoom64_100, 100, 64.0f, 1);
OM_WORLD_BENCH(map, zoom64_255, 255, 64.0f, 1);
OM_WORLD_BENCH(map, whole_zoom24_30, 30, 24.0f, 0);
OM_WORLD_BENCH(map, whole_zoom24_255, 255, 24.0f, 0);
BENCHMARK(lookup_builtin)
    ->Repetitions(kRepetitions)
    ->ComputeStatistics("min", minimum)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);
OM_WORLD_BENCH(lookup, shown_30, 30, 0);
OM_WORLD_BENCH(lookup, shown_100, 100, 0);
OM_WORLD_BENCH(lookup, shown_255, 255, 0);
OM_WORLD_BENCH(lookup, whole_30, 30, 1);
OM_WORLD_BENCH(lookup, whole_100, 100, 1);
OM_WORLD_BENCH(lookup, whole_255, 255, 1);
OM_WORLD_BENCH(reindex, 30, 30);
OM_WORLD_BENCH(reindex, 100, 100);
OM_WORLD_BENCH(reindex, 255, 255);
OM_WORLD_BENCH(drag, 30, 30);
OM_WORLD_BENCH(drag, 100, 100);
OM_WORLD_BENCH(drag, 255, 255);
OM_WORLD_BENCH(load, 30, 30);
OM_WORLD_BENCH(load, 100, 100);
OM_WORLD_BENCH(load, 255, 255);
OM_WORLD_BENCH(save, 30, 30);
OM_WORLD_BENCH(save, 100, 100);
OM_WORLD_BENCH(save, 255, 255);
OM_WORLD_BENCH(parse, 30, 30);
OM_WORLD_BENCH(parse, 100, 100);
OM_WORLD_BENCH(parse, 255, 255);
OM_WORLD_BENCH(format, 30, 30);
OM_WORLD_BENCH(format, 100, 100);
OM_WORLD_BENCH(format, 255, 255);

namespace {

// One line per grid: the time, and its ratio to the base's time (per
// sector for loading and saving, where `perSector` is set).
void print_family(const BenchResults& r, const char* title, const std::string& prefix,
                  const std::string& base, bool perSector) {
  auto medians = r.cpuMedians, minima = r.cpuMinima;
  const double baseSectors = perSector ? 30.0 * 30.0 : 1.0;
  if (!medians.count(base) || medians[base] <= 0) return;
  const double baseMedian = medians[base] / baseSectors, baseMin = minima[base] / baseSectors;
  printf("  %s\n", title);
  for (int n : kSizes) {
    const std::string name = prefix + std::to_string(n);
    if (!medians.count(name)) continue;
    const double sectors = perSector ? double(n) * n : 1.0;
    const double median = medians[name] / sectors, fastest = minima[name] / sectors;
    const char* unit = perSector ? "us/sector" : "us";
    printf("    %3d x %-3d %12.3f %12.3f %-9s %7.2f %7.2f\n", n, n, median, fastest, unit,
           median / baseMedian, baseMin > 0 ? fastest / baseMin : 0.0);
  }
}

void print_summary(const BenchResults& r) {
  printf(
      "\nWhat grows with the world, beside its counterpart (processor time: median, fastest):\n");
  printf("    %-9s %12s %12s %-9s %7s %7s\n", "grid", "median", "fastest", "", "ratio", "fastest");
  print_family(r, "map frame, zoom 24, centred on (15, 15); ratio to 30 x 30", "map/zoom24_",
               "map/zoom24_30", false);
  print_family(r, "map frame, zoom 64; ratio to 30 x 30", "map/zoom64_", "map/zoom64_30", false);
  print_family(r, "map frame drawn whole (no culling), zoom 24; ratio to 30 x 30",
               "map/whole_zoom24_", "map/whole_zoom24_30", false);
  print_family(r, "get_sector_at over the shown part; ratio to the built-in world", "lookup/shown_",
               "lookup_builtin", false);
  print_family(r, "get_sector_at over the whole grid; ratio to the built-in world", "lookup/whole_",
               "lookup_builtin", false);
  print_family(r, "the index made again after a change, per sector; ratio to 30 x 30", "reindex/",
               "reindex/30", true);
  print_family(r, "a drag step: a vertex moved, then a lookup; ratio to 30 x 30", "drag/",
               "drag/30", false);
  print_family(r, "load (world_read_file) per sector; ratio to 30 x 30", "load/", "load/30", true);
  print_family(r, "save (world_write_file) per sector; ratio to 30 x 30", "save/", "save/30", true);
  print_family(r, "parse (text to world, in memory) per sector; ratio to 30 x 30", "parse/",
               "parse/30", true);
  print_family(r, "format (world to text, in memory) per sector; ratio to 30 x 30", "format/",
               "format/30", true);
  if (r.cpuMedians.count("lookup_builtin"))
    printf("  get_sector_at on the built-in world: %.3f us (fastest %.3f us)\n",
           r.cpuMedians.at("lookup_builtin"), r.cpuMinima.at("lookup_builtin"));
}

const bool kSummary = bench_add_summary(print_summary);

}  // namespace
