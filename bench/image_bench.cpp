// What many textures cost a frame: the built-in world as it is, beside the
// same world with a texture of its own on every wall, floor and ceiling,
// taken from 64 images of the world. Printed as the ratio of the two, each
// frame first checked against the plain reference.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_report.h"
#include "map_view.h"
#include "object_camera.h"
#include "object_player.h"
#include "ombrix.h"
#include "render.h"
#include "render_reference.h"
#include "scene_support.h"
#include "stream.h"
#include "surface.h"
#include "world.h"

namespace {

Player imagePlayer;
Camera imageCamera;

// The built-in world, with `images` images of 64 x 64 spread over every
// textured wall, floor and ceiling (none: as built).
OM_World* textured_world(int images) {
  OM_World* w = world_builtin();
  if (!w) return nullptr;
  for (int k = 0; k < images; ++k) {
    std::string name = "image" + std::to_string(k);
    char why[160];
    world_add_image(w, name.c_str(), "image.png", make_pattern_texture(64, 64, u32(k)), 0, nullptr,
                    nullptr, why, sizeof why);
  }
  reg next = 0;
  auto spread = [&](OM_Surface** field) {
    if (!images) return;
    *field = world_image(w, next % images)->surface;
    ++next;
  };
  for (reg s = 0; s < world_sector_count(w); ++s) {
    OM_WorldSector* sector = world_sector(w, s);
    spread(&sector->floorTexture);
    spread(&sector->ceilingTexture);
    for (reg e = 0; e < sector_edge_count(sector); ++e) {
      OM_WorldEdge* edge = sector_edge(sector, e);
      if (edge->type == OM_EDGE_TEXTURE) spread(&edge->texture);
    }
  }
  return w;
}

void textures(benchmark::State& state, int images, int heights) {
  SavedGlobals restore;
  OM_World* w = textured_world(images);
  OM_Stream* stream = OM_OpenStream("res://TEX_WDUMMY", OM_STREAM_READ);
  dummyTexture = stream ? OM_LoadSurface(stream) : nullptr;
  OM_ReleaseStream(stream);
  world = w;
  imagePlayer = {};
  imagePlayer.object = {4, 4, 0.5f, -2.2f};
  imagePlayer.world = w;
  imagePlayer.sector = get_sector_at(w, 4, 4);
  imageCamera.fov = 1.134464f;
  imageCamera.view_distance = 128.0f;
  imageCamera.object = imagePlayer.object;
  player = &imagePlayer;
  OM_camera = &imageCamera;
  draw_portals = 1;
  interlace = 0;
  heights_mode = heights;
  OM_Surface* fast = OM_CreateSurface(640, 480);
  OM_Surface* plain = OM_CreateSurface(640, 480);
  memset(fast->data, 0, fast->size);
  memset(plain->data, 0, plain->size);
  // The plain reference knows the classic look; heights mode is checked as
  // its own benchmarks check it.
  bool sound = w && heights_frame_sound(0);
  if (w && !heights) {
    draw_game_viewport(fast);
    reference_draw_game_viewport(plain, 0, 1);
    sound = memcmp(fast->data, plain->data, fast->size) == 0;
  }
  if (!w || !dummyTexture || !sound) {
    state.SkipWithError("no world, or the frame differs from the reference");
  } else {
    for (auto _ : state) {
      draw_game_viewport(fast);
      benchmark::ClobberMemory();
    }
  }
  OM_DestroySurface(fast);
  OM_DestroySurface(plain);
  OM_DestroySurface(dummyTexture);
  release_world(w);
}

double fastest(const std::vector<double>& v) {
  double m = v.empty() ? 0 : v[0];
  for (double x : v) m = x < m ? x : m;
  return m;
}

}  // namespace

#define OM_IMAGE_BENCH(name, ...)                \
  BENCHMARK_CAPTURE(textures, name, __VA_ARGS__) \
      ->Repetitions(15)                          \
      ->ComputeStatistics("min", fastest)        \
      ->ReportAggregatesOnly(true)               \
      ->Unit(benchmark::kMicrosecond)

OM_IMAGE_BENCH(builtin, 0, 0);
OM_IMAGE_BENCH(images_64, 64, 0);
OM_IMAGE_BENCH(builtin_heights, 0, 1);
OM_IMAGE_BENCH(images_64_heights, 64, 1);

namespace {

void print_summary(const BenchResults& r) {
  auto medians = r.medians, minima = r.minima;
  printf(
      "\nA frame with a texture of its own on every surface (64 images), beside the "
      "built-in world's few:\n");
  for (const char* look : {"", "_heights"}) {
    std::string many = std::string("textures/images_64") + look;
    std::string few = std::string("textures/builtin") + look;
    if (!medians.count(many) || !medians.count(few) || medians[few] <= 0) continue;
    printf("  64 images / built-in%s: %.2f (fastest %.2f)\n", look, medians[many] / medians[few],
           minima[few] > 0 ? minima[many] / minima[few] : 0.0);
  }
}

const bool kSummary = bench_add_summary(print_summary);

}  // namespace
