// libFuzzer target for the world-file reader. Whatever the bytes, the reader
// either refuses them with a reason or gives a world that holds the
// invariant, that the writer can write, and whose text reads back to the
// same text, and whose index finds the sector the plain winding test finds
// at the start and at every vertex. Build and run with tests/fuzz/run.sh.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sector_reference.h"
#include "world.h"
#include "world_file.h"

// The console is not part of what is fuzzed.
void OM_Print(const char*) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char why[512];
  OM_World* w = world_parse(reinterpret_cast<const char*>(data), size, why, sizeof why);
  if (!w) {
    if (strncmp(why, "line ", 5) != 0) __builtin_trap();  // every refusal names its line
    return 0;
  }
  if (!world_check(w, nullptr, 0)) __builtin_trap();
  // Points where rounding bites: the start and the first vertices.
  if (get_sector_at(w, w->start.x, w->start.y) !=
      reference_get_sector_at(w, w->start.x, w->start.y))
    __builtin_trap();
  for (reg v = 0; v < world_vertex_count(w) && v < 64; v++) {
    const OM_WorldVertex* p = world_vertex(w, v);
    if (get_sector_at(w, p->x, p->y) != reference_get_sector_at(w, p->x, p->y)) __builtin_trap();
  }
  reg n = 0, m = 0;
  char* text = world_format(w, &n, why, sizeof why);
  if (!text) __builtin_trap();
  OM_World* again = world_parse(text, n, why, sizeof why);
  if (!again) __builtin_trap();
  char* second = world_format(again, &m, why, sizeof why);
  if (!second || m != n || memcmp(text, second, n) != 0) __builtin_trap();
  free(second);
  free(text);
  release_world(again);
  release_world(w);
  return 0;
}
