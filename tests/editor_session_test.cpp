// A long random editing session in the running program: keys (the building
// commands among them), pointer moves, clicks, double-clicks and drags in
// the map, the wheel, ticks, frames, drawn sectors, Tab, undo and redo, all
// sent through the game core as the host sends them. After every event the
// world must hold its invariant and the editor's references must name
// things that exist.
//
// OMBRIX_SESSION_EVENTS sets the number of events (default 200000, under a
// minute in the sanitizer build); before a release run a few million:
//   OMBRIX_SESSION_EVENTS=5000000 ./ombrix_tests --gtest_filter='Session.*'
// OMBRIX_SESSION_SEED replays another session.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "collection.h"
#include "editor_commands.h"
#include "object_player.h"
#include "scene_support.h"
#include "ui_console.h"

namespace {

uint64_t env_number(const char* name, uint64_t fallback) {
  const char* v = getenv(name);
  return v && *v ? strtoull(v, nullptr, 10) : fallback;
}

struct Random {
  uint64_t state;
  uint64_t next() {  // xorshift64*
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 2685821657736338717ull;
  }
  int below(int n) { return (int)(next() % (uint64_t)n); }
  bool one_in(int n) { return below(n) == 0; }
};

class Session : public ::testing::Test {
 protected:
  void SetUp() override {
    memset(keyboard.keys, 0, sizeof keyboard.keys);
    OM_Event e{};
    e.type = OM_EVENT_INIT;
    ASSERT_EQ(OM_Game_Handle(&e), 0);
    data = (RV_Editor_Data*)OM_editor->data;
  }
  void TearDown() override {
    OM_Event e{};
    e.type = OM_EVENT_QUIT;
    OM_Game_Handle(&e);
    release_world(world);
  }
  void send(OM_EventType type, int key = 0) {
    OM_Event e{};
    e.type = type;
    e.key = key;
    OM_Game_Handle(&e);
  }
  void key(int k) {
    send(OM_EVENT_KEYBOARD_KEY_DOWN, k);
    send(OM_EVENT_KEYBOARD_KEY_UP, k);
  }
  void mouse(OM_EventType type, int x, int y, int buttons, int clicks, int wheel = 0) {
    OM_mouse = OM_Mouse{x, y, x - OM_mouse.x, y - OM_mouse.y, wheel, buttons, clicks};
    OM_Event e{};
    e.type = type;
    e.mouse = &OM_mouse;
    OM_Game_Handle(&e);
  }
  // The window pixel of a map point, held to the map's rectangle.
  void to_window(f32 mx, f32 my, int* x, int* y) {
    OM_Widget* view = nullptr;
    for (reg i = 0; i < OM_editor->childs->length; ++i) {
      OM_Widget* child = static_cast<OM_Widget**>(OM_editor->childs->data)[i];
      if (child->HandleEvent == RV_Editor_Viewport_HandleEvent) view = child;
    }
    RV_Editor_Viewport_ViewportToScreen(view, &data->camera, &mx, &my);
    *x = (int)fminf(fmaxf(mx, 0.0f), 639.0f);
    *y = (int)fminf(fmaxf(my, 0.0f), 463.0f) + 16;
  }
  // A window pixel in the map: often beside an edge or a vertex, where the
  // commands find something to work on, else anywhere.
  void point(int* x, int* y) {
    reg vertices = world_vertex_count(world), sectors = world_sector_count(world);
    if (sectors > 0 && rng.one_in(3)) {  // beside the middle of an edge
      const OM_WorldSector* s = world_sector(world, (reg)rng.below((int)sectors));
      const OM_WorldEdge* e = sector_edge(s, (reg)rng.below((int)sector_edge_count(s)));
      const OM_WorldVertex* a = world_vertex(world, e->v1);
      const OM_WorldVertex* b = world_vertex(world, e->v2);
      to_window((a->x + b->x) / 2.0f, (a->y + b->y) / 2.0f, x, y);
      *x += rng.below(17) - 8;
      *y += rng.below(17) - 8;
    } else if (vertices > 0 && rng.one_in(2)) {
      const OM_WorldVertex* v = world_vertex(world, (reg)rng.below((int)vertices));
      to_window(v->x, v->y, x, y);
      *x += rng.below(41) - 20;
      *y += rng.below(41) - 20;
    } else {
      *x = rng.below(640);
      *y = 16 + rng.below(464);
    }
    *x = *x < 0 ? 0 : (*x > 639 ? 639 : *x);
    *y = *y < 16 ? 16 : (*y > 479 ? 479 : *y);
  }
  void click(int x, int y, int clicks) {
    mouse(OM_EVENT_MOUSE_BUTTON_DOWN, x, y, OM_LMB, clicks);
    mouse(OM_EVENT_MOUSE_BUTTON_UP, x, y, 0, clicks);
  }
  // A small outline around a point, corners snapped or not, sometimes
  // closed by the first corner, sometimes by Enter, sometimes given up.
  void draw_sector() {
    key(OM_KEY_INSERT);
    int cx, cy;
    point(&cx, &cy);
    int corners = 3 + rng.below(4), radius = 20 + rng.below(60);
    for (int k = 0; k < corners; ++k) {
      f32 a = 6.2831853f * (f32)k / (f32)corners;
      click(cx + (int)(radius * cosf(a)), cy + (int)(radius * sinf(a)), 1);
    }
    switch (rng.below(4)) {
      case 0: click(cx + radius, cy, 1); break;
      case 1: key(OM_KEY_ESCAPE); break;
      default: key(OM_KEY_ENTER); break;
    }
    if (data->flag & RV_EDITOR_DRAWING) key(OM_KEY_ESCAPE);
  }
  // Twice: the player is taken just inside a sector, beside one of its
  // longer edges, which is then clicked and marked with L; the second L
  // links the two (or clears the mark, or says why not).
  void link_two_edges() {
    for (int k = 0; k < 2; ++k) {
      reg sectors = world_sector_count(world);
      if (sectors == 0) return;
      const OM_WorldSector* s = world_sector(world, (reg)rng.below((int)sectors));
      OM_WorldVertex a{}, b{};
      for (int tries = 0; tries < 3; ++tries) {
        const OM_WorldEdge* e = sector_edge(s, (reg)rng.below((int)sector_edge_count(s)));
        OM_WorldVertex p = *world_vertex(world, e->v1), q = *world_vertex(world, e->v2);
        if (tries == 0 || fabsf(q.x - p.x) + fabsf(q.y - p.y) > fabsf(b.x - a.x) + fabsf(b.y - a.y))
          a = p, b = q;
      }
      // The inside lies to the right of an edge of an outline with positive area.
      f32 length = sqrtf((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
      if (!(length > 0.0f)) return;
      f32 nx = -(b.y - a.y) / length, ny = (b.x - a.x) / length;
      f32 mx = (a.x + b.x) / 2.0f, my = (a.y + b.y) / 2.0f;
      int x, y;
      to_window(mx + 0.3f * nx, my + 0.3f * ny, &x, &y);
      hold(OM_KEY_CTRL, true);
      click(x, y, 1);
      hold(OM_KEY_CTRL, false);
      send(OM_EVENT_DRAW);
      to_window(mx + 0.1f * nx, my + 0.1f * ny, &x, &y);
      click(x, y, 1);
      key(OM_KEY_L);
    }
  }
  void hold(int k, bool down) {
    if ((keyboard.keys[k] != 0) != down)
      send(down ? OM_EVENT_KEYBOARD_KEY_DOWN : OM_EVENT_KEYBOARD_KEY_UP, k);
  }
  void event() {
    static const int kKeys[] = {OM_KEY_INSERT, OM_KEY_ENTER,   OM_KEY_BACKSPACE, OM_KEY_ESCAPE,
                                OM_KEY_DELETE, OM_KEY_PAGE_UP, OM_KEY_PAGE_DOWN, OM_KEY_T,
                                OM_KEY_F,      OM_KEY_C,       OM_KEY_L,         OM_KEY_V,
                                OM_KEY_B,      OM_KEY_N,       OM_KEY_M,         OM_KEY_A,
                                OM_KEY_D,      OM_KEY_Q,       OM_KEY_E};
    int x, y;
    switch (rng.below(20)) {
      case 0: key(kKeys[rng.below(sizeof kKeys / sizeof kKeys[0])]); break;
      case 1:  // undo and redo, Ctrl+Y or Ctrl+Shift+Z
        hold(OM_KEY_CTRL, true);
        if (rng.one_in(3)) {
          hold(OM_KEY_SHIFT, true);
          key(OM_KEY_Z);
          hold(OM_KEY_SHIFT, false);
        } else {
          key(rng.one_in(2) ? OM_KEY_Z : OM_KEY_Y);
        }
        hold(OM_KEY_CTRL, false);
        break;
      case 2: hold(OM_KEY_SHIFT, !keyboard.keys[OM_KEY_SHIFT]); break;
      case 3:
        if (rng.one_in(8)) key(OM_KEY_TAB);
        break;
      case 4: hold(OM_KEY_W, !keyboard.keys[OM_KEY_W]); break;
      case 5:
      case 6:
        point(&x, &y);
        mouse(OM_EVENT_MOUSE_MOVE, x, y, rng.one_in(4) ? OM_RMB : 0, OM_mouse.clicks);
        break;
      case 7:
      case 8: point(&x, &y), click(x, y, 1); break;
      case 9:  // a double-click, often dragged before the release
        point(&x, &y);
        click(x, y, 1);
        mouse(OM_EVENT_MOUSE_BUTTON_DOWN, x, y, OM_LMB, 2);
        for (int k = rng.below(4); k > 0; --k) {
          point(&x, &y);
          mouse(OM_EVENT_MOUSE_MOVE, x, y, OM_LMB, 2);
        }
        if (!rng.one_in(10)) mouse(OM_EVENT_MOUSE_BUTTON_UP, x, y, 0, 2);  // else lost
        break;
      case 10:  // a single-click drag: the line from a vertex
        point(&x, &y);
        mouse(OM_EVENT_MOUSE_BUTTON_DOWN, x, y, OM_LMB, 1);
        point(&x, &y);
        mouse(OM_EVENT_MOUSE_MOVE, x, y, OM_LMB, 1);
        mouse(OM_EVENT_MOUSE_BUTTON_UP, x, y, 0, 1);
        break;
      case 11:  // Ctrl+click: the player goes there; the next frame selects its sector
        if (!rng.one_in(3)) break;
        point(&x, &y);
        hold(OM_KEY_CTRL, true);
        click(x, y, 1);
        hold(OM_KEY_CTRL, false);
        send(OM_EVENT_DRAW);
        break;
      case 12:
        mouse(OM_EVENT_MOUSE_WHEEL, OM_mouse.x, OM_mouse.y, OM_mouse.buttons, OM_mouse.clicks,
              rng.one_in(2) ? 120 : -120);
        break;
      case 13:
      case 14:
        for (int k = 1 + rng.below(8); k > 0; --k) send(OM_EVENT_TICK);
        break;
      case 15:
        if (rng.one_in(10)) send(OM_EVENT_DRAW);
        break;
      case 16:
      case 17: draw_sector(); break;
      case 18:
        if (rng.one_in(400)) {  // Ctrl+O: a fresh world and a fresh history
          hold(OM_KEY_CTRL, true);
          key(OM_KEY_O);
          hold(OM_KEY_CTRL, false);
        }
        break;
      default:
        if (rng.one_in(4)) {
          link_two_edges();
        } else {
          key(rng.one_in(2) ? OM_KEY_DELETE : OM_KEY_L);
        }
        break;
    }
  }
  // What the editor and the player refer to exists.
  bool references_hold(char* why, reg size) {
    reg sectors = world_sector_count(world);
    if (player->sector && world_sector_index(world, player->sector) >= sectors)
      return snprintf(why, size, "the player's sector is not in the world") < 0;
    if ((data->flag & RV_EDITOR_VERTEX_SELECTED) && !world_vertex(world, data->selectedVertex))
      return snprintf(why, size, "selected vertex %u", (unsigned)data->selectedVertex) < 0;
    if ((data->flag & RV_EDITOR_LINE_DRAGGED) && !(data->flag & RV_EDITOR_VERTEX_SELECTED))
      return snprintf(why, size, "a dragged line without a vertex") < 0;
    if ((data->flag & RV_EDITOR_EDGE_MARKED) &&
        !world_edge(world, data->markSector, data->markEdge))
      return snprintf(why, size, "marked edge %u of sector %u", (unsigned)data->markEdge,
                      (unsigned)data->markSector) < 0;
    if (sectors > 0 && data->selectedSector >= sectors)
      return snprintf(why, size, "selected sector %u", (unsigned)data->selectedSector) < 0;
    return true;
  }

  SavedGlobals saved{SavedGlobals::kKeepStartUp};
  RV_Editor_Data* data = nullptr;
  Random rng{0};
};

TEST_F(Session, RandomEventsKeepTheWorldAndTheEditorSound) {
  const uint64_t events = env_number("OMBRIX_SESSION_EVENTS", 200000);
  rng.state = env_number("OMBRIX_SESSION_SEED", 13) * 2 + 1;
  gameState = EDITOR;
  // What the session did, told by the console lines of the commands.
  struct {
    const char* line;
    uint64_t count;
  } done[] = {{" made: ", 0}, {"split there", 0}, {"Linked", 0},  {" deleted", 0},
              {"Undone", 0},  {"Redone", 0},      {"refused", 0}, {"cannot", 0}};
  uint64_t edits = 0;
  reg mostVertices = 0, mostSectors = 0;
  OM_World* seen = world;
  u32 lastEdits = world->edits;
  for (uint64_t i = 0; i < events; ++i) {
    buffer[0] = '\0';
    event();
    if (world != seen) {
      seen = world;
      lastEdits = world->edits;
    }
    edits += world->edits - lastEdits;
    lastEdits = world->edits;
    for (auto& d : done) d.count += strstr(buffer, d.line) != nullptr;
    if (world_vertex_count(world) > mostVertices) mostVertices = world_vertex_count(world);
    if (world_sector_count(world) > mostSectors) mostSectors = world_sector_count(world);
    char why[256] = "";
    ASSERT_TRUE(world_check(world, why, sizeof why)) << "event " << i << ": " << why;
    ASSERT_TRUE(references_hold(why, sizeof why)) << "event " << i << ": " << why;
  }
  printf("session: %llu events, %llu edits; largest world %u vertices, %u sectors\n",
         (unsigned long long)events, (unsigned long long)edits, (unsigned)mostVertices,
         (unsigned)mostSectors);
  for (const auto& d : done)
    printf("  lines with \"%s\": %llu\n", d.line, (unsigned long long)d.count);
  EXPECT_GT(edits, events / 100);
  for (const auto& d : done) EXPECT_GT(d.count, events / 20000) << d.line;  // each one happened
}

}  // namespace
