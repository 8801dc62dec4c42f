// Benchmarks of the first-person renderer and the simulation, as ratios to a frame copy.
//
// Each is printed after the run as a ratio to the median time of copying one
// 640 x 480 frame in the same run, and each interlaced frame also as a ratio
// to the same full frame. Every rendered frame is first checked against the
// plain per-pixel reference, in the mode it is timed in; a difference fails
// that benchmark. Heights mode's frames, on the built-in world and on the
// sample world, are checked as its tests check them (every pixel written,
// the same picture as the frame drawn without vector instructions) and
// printed beside the classic frame of the same view.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench_report.h"
#include "editor.h"
#include "keys.h"
#include "object_camera.h"
#include "object_player.h"
#include "ombrix.h"
#include "render.h"
#include "render_reference.h"
#include "scene_support.h"
#include "stream.h"
#include "surface.h"
#include "world.h"
#include "world_session.h"

namespace {

const int kRepetitions = 15;

double minimum(const std::vector<double>& v) {
  double m = v.empty() ? 0 : v[0];
  for (double x : v) m = x < m ? x : m;
  return m;
}

Player benchPlayer;
Camera benchCamera;

// The built-in world with its textures and the fallback texture, the player
// at the start position and the camera on it.
void setup_scene() {
  static bool done = false;
  if (done) return;
  done = true;
  world = world_builtin();
  OM_Stream* stream = OM_OpenStream("res://TEX_WDUMMY", OM_STREAM_READ);
  dummyTexture = stream ? OM_LoadSurface(stream) : nullptr;
  OM_ReleaseStream(stream);
  if (!world || !dummyTexture) {
    fprintf(stderr, "the built-in world or the fallback texture could not be loaded\n");
    exit(1);
  }
  benchPlayer.height = 1.8f;
  benchPlayer.eye_height = 1.6f;
  benchPlayer.mass = 80.7f;
  benchPlayer.movement_speed = 0.8f;
  benchPlayer.rotation_speed = 0.061086524f;
  benchPlayer.world = world;
  player = &benchPlayer;
  OM_camera = &benchCamera;
  benchCamera.fov = 1.134464f;
  benchCamera.view_distance = 128.0f;
}

struct View {
  f32 x, y, z, angle;
  int sector;
};

void place(const View& v) {
  benchPlayer.object = {v.x, v.y, v.z, v.angle};
  benchPlayer.sector = get_sector_at(world, v.x, v.y);
  benchCamera.object = benchPlayer.object;
}

// A full frame, or two interlaced calls: the first must draw one half as
// the reference does (whichever the call counter picks), the second the
// other half beside it.
bool matches_reference(int w, int h, int interlaced) {
  size_t bytes = static_cast<size_t>(w) * h * 4;
  OM_Surface* fast = OM_CreateSurface(w, h);
  OM_Surface* plain = OM_CreateSurface(w, h);
  memset(fast->data, 0, bytes);
  memset(plain->data, 0, bytes);
  SavedGlobals restore;
  interlace = interlaced;
  draw_game_viewport(fast);
  bool same;
  if (!interlaced) {
    reference_draw_game_viewport(plain, 0, 1);
    same = memcmp(fast->data, plain->data, bytes) == 0;
  } else {
    int first = 0;
    reference_draw_game_viewport(plain, 0, 2);
    if (memcmp(fast->data, plain->data, bytes) != 0) {
      first = 1;
      memset(plain->data, 0, bytes);
      reference_draw_game_viewport(plain, 1, 2);
    }
    same = memcmp(fast->data, plain->data, bytes) == 0;
    draw_game_viewport(fast);
    reference_draw_game_viewport(plain, 1 - first, 2);
    same = same && memcmp(fast->data, plain->data, bytes) == 0;
  }
  OM_DestroySurface(fast);
  OM_DestroySurface(plain);
  return same;
}

void frame(benchmark::State& state, View view, int w, int h, int interlaced, int simd = -1) {
  setup_scene();
  place(view);
  SavedGlobals restore;  // the scene stays; the renderer's settings go back
  draw_portals = 1;
  renderer_simd = simd;
  if (!matches_reference(w, h, interlaced)) {
    state.SkipWithError("output differs from the reference");
    return;
  }
  OM_Surface* target = OM_CreateSurface(w, h);
  memset(target->data, 0, static_cast<size_t>(w) * h * 4);
  interlace = interlaced;
  for (auto _ : state) {
    draw_game_viewport(target);
    benchmark::ClobberMemory();
  }
  OM_DestroySurface(target);
}

// The sample world, loaded once; the built-in world stays the scene.
OM_World* sample_world() {
  static OM_World* sample = nullptr;
  if (!sample) sample = load_world(OM_SOURCE_DIR "/examples/sample.world");
  if (!sample) {
    fprintf(stderr, "examples/sample.world could not be loaded\n");
    exit(1);
  }
  return sample;
}

// One view of the built-in world (sample 0) or the sample world (1) in the
// classic look or heights mode, 640 x 480, the best vector level.
void look_frame(benchmark::State& state, int sample, View view, int heights, int interlaced) {
  setup_scene();
  SavedGlobals restore;
  if (sample) world = sample_world();
  place(view);
  draw_portals = 1;
  heights_mode = heights;
  bool sound = heights ? heights_frame_sound(interlaced) : matches_reference(640, 480, interlaced);
  if (!sound) {
    state.SkipWithError(heights ? "a pixel was not written, or the levels differ"
                                : "output differs from the reference");
    return;
  }
  OM_Surface* target = OM_CreateSurface(640, 480);
  memset(target->data, 0, 640 * 480 * 4);
  interlace = interlaced;
  for (auto _ : state) {
    draw_game_viewport(target);
    benchmark::ClobberMemory();
  }
  OM_DestroySurface(target);
}

const View kStart = {4, 4, 0, 0, 1};
const View kEyeHeight = {4, 4, 1.6f, 3.14159265f, 1};
const View kWrapAround = {4, 1, 0.8f, 0, 2};
const View kCorner = {1.5f, 1.5f, 0.9f, 0.8f, 0};
// The sample world: its start in the hall facing the corridor and the
// gallery beyond, and the loft's view south over the hall to the grotto.
const View kHall = {2, 2, 1, 0, 0};
const View kLoft = {3, -2.5f, 1.5f, 1.5707964f, 3};

// One movement step with forward and turn-left held: the player walks in
// circles, meeting walls and portals.
void BM_UpdatePlayer(benchmark::State& state) {
  setup_scene();
  place(kStart);
  SavedGlobals restore;
  gameState = GAMEPLAY;
  keyboard.keys[OM_KEY_W] = 1;
  keyboard.keys[OM_KEY_Q] = 1;
  for (auto _ : state) {
    update_player();
    benchmark::ClobberMemory();
  }
}

// Points in each sector (the later ones test every earlier sector first)
// and one outside them all.
void BM_GetSectorAt(benchmark::State& state) {
  setup_scene();
  const f32 points[][2] = {{1, 1}, {4, 4}, {4, 1}, {2.5f, 1}};
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(get_sector_at(world, points[i][0], points[i][1]));
    i = (i + 1) & 3;
  }
}

void BM_FrameCopy(benchmark::State& state) {
  OM_Surface* a = OM_CreateSurface(640, 480);
  OM_Surface* b = OM_CreateSurface(640, 480);
  memset(a->data, 0x5A, 640 * 480 * 4);
  for (auto _ : state) {
    memcpy(b->data, a->data, 640 * 480 * 4);
    benchmark::ClobberMemory();
  }
  OM_DestroySurface(a);
  OM_DestroySurface(b);
}

}  // namespace

// A heights mode frame (full, or two interlaced calls) into a target of a
// colour no texture has: every pixel must be written, and the picture must
// be the one drawn whole without vector instructions.
[[gnu::noinline]] bool heights_frame_sound(int interlaced) {
  const int w = 640, h = 480;
  size_t bytes = static_cast<size_t>(w) * h * 4;
  OM_Surface* fast = OM_CreateSurface(w, h);
  OM_Surface* plain = OM_CreateSurface(w, h);
  for (int i = 0; i < w * h; ++i) fast->data[i] = plain->data[i] = 0x12345678;
  SavedGlobals restore;
  interlace = interlaced;
  draw_game_viewport(fast);
  if (interlaced) draw_game_viewport(fast);
  interlace = 0;
  renderer_simd = 0;
  draw_game_viewport(plain);
  bool sound = memcmp(fast->data, plain->data, bytes) == 0;
  for (int i = 0; i < w * h; ++i) sound = sound && plain->data[i] != 0x12345678;
  OM_DestroySurface(fast);
  OM_DestroySurface(plain);
  return sound;
}

#define OM_BENCH(name, ...)                   \
  BENCHMARK_CAPTURE(frame, name, __VA_ARGS__) \
      ->Repetitions(kRepetitions)             \
      ->ComputeStatistics("min", minimum)     \
      ->ReportAggregatesOnly(true)            \
      ->Unit(benchmark::kMicrosecond)

BENCHMARK(BM_FrameCopy)
    ->Repetitions(kRepetitions)
    ->ComputeStatistics("min", minimum)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);
OM_BENCH(full_start, kStart, 640, 480, 0);
OM_BENCH(full_eye_height_west, kEyeHeight, 640, 480, 0);
OM_BENCH(full_wrap_around, kWrapAround, 640, 480, 0);
OM_BENCH(full_corner_portal, kCorner, 640, 480, 0);
OM_BENCH(interlaced_start, kStart, 640, 480, 1);
OM_BENCH(preview_320x240_interlaced, kStart, 320, 240, 1);
OM_BENCH(preview_320x240_full, kStart, 320, 240, 0);
OM_BENCH(full_start_sse2_only, kStart, 640, 480, 0, 1);
OM_BENCH(interlaced_start_sse2_only, kStart, 640, 480, 1, 1);
OM_BENCH(full_start_no_vectors, kStart, 640, 480, 0, 0);
OM_BENCH(interlaced_start_no_vectors, kStart, 640, 480, 1, 0);
#define OM_LOOK_BENCH(name, ...)                   \
  BENCHMARK_CAPTURE(look_frame, name, __VA_ARGS__) \
      ->Repetitions(kRepetitions)                  \
      ->ComputeStatistics("min", minimum)          \
      ->ReportAggregatesOnly(true)                 \
      ->Unit(benchmark::kMicrosecond)

OM_LOOK_BENCH(heights_full_start, 0, kStart, 1, 0);
OM_LOOK_BENCH(heights_interlaced_start, 0, kStart, 1, 1);
OM_LOOK_BENCH(heights_full_wrap_around, 0, kWrapAround, 1, 0);
OM_LOOK_BENCH(heights_interlaced_wrap_around, 0, kWrapAround, 1, 1);
OM_LOOK_BENCH(sample_full_hall, 1, kHall, 0, 0);
OM_LOOK_BENCH(sample_heights_full_hall, 1, kHall, 1, 0);
OM_LOOK_BENCH(sample_heights_interlaced_hall, 1, kHall, 1, 1);
OM_LOOK_BENCH(sample_full_loft, 1, kLoft, 0, 0);
OM_LOOK_BENCH(sample_heights_full_loft, 1, kLoft, 1, 0);
OM_LOOK_BENCH(sample_heights_interlaced_loft, 1, kLoft, 1, 1);
BENCHMARK(BM_UpdatePlayer)
    ->Repetitions(kRepetitions)
    ->ComputeStatistics("min", minimum)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetSectorAt)
    ->Repetitions(kRepetitions)
    ->ComputeStatistics("min", minimum)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

namespace {

// The benchmarks of this file, by name: the first-person frames, the copy
// and the simulation.
bool is_render_bench(const std::string& name) {
  return name.rfind("frame/", 0) == 0 || name.rfind("look_frame/", 0) == 0 ||
         name.rfind("BM_", 0) == 0;
}

// Interlaced frames beside the full frames of the same view, size and level.
const char* const kInterlacedPairs[][2] = {
    {"interlaced_start", "full_start"},
    {"preview_320x240_interlaced", "preview_320x240_full"},
    {"interlaced_start_sse2_only", "full_start_sse2_only"},
    {"interlaced_start_no_vectors", "full_start_no_vectors"},
    {"look_frame/heights_interlaced_start", "look_frame/heights_full_start"},
    {"look_frame/heights_interlaced_wrap_around", "look_frame/heights_full_wrap_around"},
    {"look_frame/sample_heights_interlaced_hall", "look_frame/sample_heights_full_hall"},
    {"look_frame/sample_heights_interlaced_loft", "look_frame/sample_heights_full_loft"},
};

// Heights mode's full frames beside the classic full frame of the same view.
const char* const kHeightsPairs[][2] = {
    {"look_frame/heights_full_start", "frame/full_start"},
    {"look_frame/heights_full_wrap_around", "frame/full_wrap_around"},
    {"look_frame/sample_heights_full_hall", "look_frame/sample_full_hall"},
    {"look_frame/sample_heights_full_loft", "look_frame/sample_full_loft"},
};

// Names given whole, or after "frame/".
std::string bench_name(const char* name) {
  std::string n = name;
  return n.find('/') == std::string::npos ? "frame/" + n : n;
}

// Every median as a multiple of the copy's, then every interlaced frame as a
// fraction of its full frame.
void print_summary(const BenchResults& r) {
  auto medians = r.medians, minima = r.minima;
  auto copy = medians.find("BM_FrameCopy");
  if (copy != medians.end() && copy->second > 0) {
    double copyMin = minima["BM_FrameCopy"];
    printf("\nAs a multiple of copying one 640 x 480 frame (median %.1f us, fastest %.1f us):\n",
           copy->second, copyMin);
    printf("  %-40s %7s %7s\n", "", "median", "fastest");
    for (const std::string& name : r.order) {
      if (!is_render_bench(name)) continue;
      printf("  %-40s %7.3f %7.3f\n", name.c_str(), medians[name] / copy->second,
             copyMin > 0 ? minima[name] / copyMin : 0.0);
    }
  }
  printf("\n");
  auto ratio = [&](const char* what, const char* const pair[2]) {
    std::string a = bench_name(pair[0]), b = bench_name(pair[1]);
    if (!medians.count(a) || !medians.count(b) || medians[b] <= 0) return;
    printf("%s: %.2f (fastest %.2f) for %s / %s\n", what, medians[a] / medians[b],
           minima[b] > 0 ? minima[a] / minima[b] : 0.0, pair[0], pair[1]);
  };
  for (const auto& pair : kInterlacedPairs) ratio("interlaced / full frame", pair);
  for (const auto& pair : kHeightsPairs) ratio("heights mode / classic full frame", pair);
}

const bool kSummary = bench_add_summary(print_summary);

}  // namespace
