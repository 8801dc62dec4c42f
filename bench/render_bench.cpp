// Timings of the first-person renderer and the simulation, each printed at
// the end as a ratio to the median time of copying one 640 x 480 frame in the
// same run. Every rendered frame is first checked against the plain
// per-pixel reference; a difference fails that benchmark.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "editor.h"
#include "object_camera.h"
#include "object_player.h"
#include "ombrix.h"
#include "render_reference.h"
#include "surface.h"
#include "world.h"

namespace {

const int kRepetitions = 15;

double minimum(const std::vector<double>& v) {
  double m = v.empty() ? 0 : v[0];
  for (double x : v) m = x < m ? x : m;
  return m;
}

Player benchPlayer;
Camera benchCamera;

// The built-in world, the player at the start position and the camera on it.
void setup_scene() {
  static bool done = false;
  if (done) return;
  done = true;
  OM_Surface* wall = make_pattern_texture(64, 64, 2);
  OM_Surface* flat = make_pattern_texture(64, 64, 3);
  dummyTexture = make_pattern_texture(64, 64, 1);
  world = make_builtin_world(wall, flat);
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
  benchPlayer.sector = world_sector(world, v.sector);
  benchCamera.object = benchPlayer.object;
}

bool matches_reference(int w, int h, int first, int step) {
  OM_Surface* fast = OM_CreateSurface(w, h);
  OM_Surface* plain = OM_CreateSurface(w, h);
  memset(fast->data, 0, static_cast<size_t>(w) * h * 4);
  memset(plain->data, 0, static_cast<size_t>(w) * h * 4);
  int saved = interlace;
  interlace = 0;
  draw_game_viewport(fast);
  interlace = saved;
  reference_draw_game_viewport(plain, first, step);
  bool same = memcmp(fast->data, plain->data, static_cast<size_t>(w) * h * 4) == 0;
  OM_DestroySurface(fast);
  OM_DestroySurface(plain);
  return same;
}

void frame(benchmark::State& state, View view, int w, int h, int interlaced) {
  setup_scene();
  place(view);
  draw_portals = 1;
  if (!matches_reference(w, h, 0, 1)) {
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
  interlace = 1;
  OM_DestroySurface(target);
}

const View kStart = {4, 4, 0, 0, 1};
const View kEyeHeight = {4, 4, 1.6f, 3.14159265f, 1};
const View kWrapAround = {4, 1, 0.8f, 0, 2};
const View kCorner = {1.5f, 1.5f, 0.9f, 0.8f, 0};

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

#define OM_BENCH(name, ...)                                                \
  BENCHMARK_CAPTURE(frame, name, __VA_ARGS__)                              \
      ->Repetitions(kRepetitions)                                          \
      ->ComputeStatistics("min", minimum)                                  \
      ->ReportAggregatesOnly(true)                                         \
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

namespace {

// Prints the usual table, then every median as a multiple of the copy's.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Aggregate || r.error_occurred) continue;
      std::string name = r.run_name.function_name;
      if (!r.run_name.args.empty()) name += "/" + r.run_name.args;
      if (r.aggregate_name == "median") {
        order.push_back(name);
        medians[name] = r.GetAdjustedRealTime();
      }
      if (r.aggregate_name == "min") minima[name] = r.GetAdjustedRealTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto copy = medians.find("BM_FrameCopy");
    if (copy == medians.end() || copy->second <= 0) return;
    double copyMin = minima["BM_FrameCopy"];
    printf("\nAs a multiple of copying one 640 x 480 frame (median %.1f us, fastest %.1f us):\n",
           copy->second, copyMin);
    printf("  %-40s %7s %7s\n", "", "median", "fastest");
    for (const std::string& name : order) {
      printf("  %-40s %7.2f %7.2f\n", name.c_str(), medians[name] / copy->second,
             copyMin > 0 ? minima[name] / copyMin : 0.0);
    }
  }

 private:
  std::vector<std::string> order;
  std::map<std::string, double> medians, minima;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
