#include "ombrix.h"

#include <cmath>
#include <cstring>

#include "collection.h"
#include "editor.h"
#include "math.h"
#include "object_camera.h"
#include "object_player.h"
#include "surface.h"
#include "ui_widget.h"
#include "world.h"

OM_Keyboard keyboard;
u8 OM_keyboard[255];
OM_Mouse OM_mouse;
OM_MouseState mouse;
OM_Timer timer;
GameState gameState = EDITOR;

OM_Surface* OM_frameBuffer;
OM_Widget* OM_editor;
OM_World* world;
Player* player;
Camera* OM_camera;
OM_Font* OM_font;
OM_Surface* dummyTexture;

enum {
  KEY_TAB = 0x09,
  KEY_CTRL = 0x11,
  KEY_B = 0x42,
  KEY_M = 0x4D,
  KEY_N = 0x4E,
  KEY_O = 0x4F,
  KEY_S = 0x53,
  KEY_V = 0x56,
};

// ---- Player and camera -------------------------------------------------

enum {
  KEY_SPACE = 0x20,
  KEY_A = 0x41,
  KEY_D = 0x44,
  KEY_E = 0x45,
  KEY_Q = 0x51,
  KEY_W = 0x57,
};

static const f32 friction = 0.1f;  // fraction of the velocity lost per tick
static const f32 mouse_sensitivity = 2.0f;

// Start-up records: one player and one camera for the whole run.
static Player startPlayer;
static Camera startCamera;

static void create_player(OM_World* w) {
  Player p = {};
  p.object.x = 4.0f;
  p.object.y = 4.0f;
  p.movement_speed = 0.8f;
  p.rotation_speed = 0.061086524f;  // 3.5 degrees
  p.mass = 80.7f;
  p.height = 1.8f;
  p.eye_height = p.height - 0.2f;
  p.world = w;
  p.sector = get_sector_at(w, 4.0f, 4.0f);
  startPlayer = p;
  player = &startPlayer;
}

static void create_camera(Player* p) {
  Camera c = {};
  c.object = p->object;
  c.fov = 1.134464f;  // 65 degrees
  c.view_distance = 128.0f;
  c.attached_to = &p->object;
  startCamera = c;
  OM_camera = &startCamera;
}

static const OM_WorldVertex* vertex_of(OM_World* w, u16 index) {
  if (!w || !w->vertices || index >= w->vertices->length) return nullptr;
  return static_cast<const OM_WorldVertex*>(w->vertices->data) + index;
}

// The edge a portal names, or null when its indices lead nowhere.
static const OM_WorldEdge* portal_target(OM_World* w, const OM_WorldEdge* portal) {
  if (!w || !w->sectors || portal->portal_sector >= w->sectors->length) return nullptr;
  const OM_WorldSector* s =
      static_cast<const OM_WorldSector*>(w->sectors->data) + portal->portal_sector;
  if (!s->edges || portal->portal_edge >= s->edges->length) return nullptr;
  return static_cast<const OM_WorldEdge*>(s->edges->data) + portal->portal_edge;
}

// Tests the step (x, y) -> (*nx, *ny) against the edges of the player's
// sector. The first edge hit decides: a portal moves the target by the offset
// between the two edges' midpoints and changes the sector, anything else
// blocks. Returns 1 when the step is blocked.
static int collide(Player* p, f32 x, f32 y, f32* nx, f32* ny) {
  OM_Collection* edges = p->sector->edges;
  for (reg i = 0; edges && i < edges->length; i++) {
    const OM_WorldEdge* edge = static_cast<const OM_WorldEdge*>(edges->data) + i;
    const OM_WorldVertex* a = vertex_of(world, edge->v1);
    const OM_WorldVertex* b = vertex_of(world, edge->v2);
    if (!a || !b) continue;  // an edge without both ends cannot be met
    f32 ix, iy;
    if (!OM_LineIntersect(x, y, *nx, *ny, a->x, a->y, b->x, b->y, &ix, &iy)) continue;
    if (edge->type != OM_EDGE_PORTAL) return 1;
    const OM_WorldEdge* link = portal_target(world, edge);
    const OM_WorldVertex* c = link ? vertex_of(world, link->v1) : nullptr;
    const OM_WorldVertex* d = link ? vertex_of(world, link->v2) : nullptr;
    if (!c || !d) return 1;  // a portal into nothing holds like a wall
    f32 m0x = (a->x + b->x) / 2, m0y = (a->y + b->y) / 2;
    f32 m1x = (c->x + d->x) / 2, m1y = (c->y + d->y) / 2;
    *nx = *nx + (m1x - m0x);
    *ny = *ny + (m1y - m0y);
    p->sector = get_sector_at(world, *nx, *ny);
    return 0;
  }
  return 0;
}

void update_player() {
  Player* p = player;
  if (!p) return;
  const u8* keys = keyboard.keys;
  int gameplay = gameState == GAMEPLAY;
  int turn_left = gameplay ? KEY_Q : KEY_A;
  int turn_right = gameplay ? KEY_E : KEY_D;
  int strafe_left = gameplay ? KEY_A : KEY_Q;
  int strafe_right = gameplay ? KEY_D : KEY_E;

  f32 a = p->object.angle;
  if (keys[turn_left]) a = a - p->rotation_speed;
  if (keys[turn_right]) a = a + p->rotation_speed;
  p->object.angle = a;

  f32 ms = p->movement_speed;
  if (keys[KEY_SPACE]) p->object.z = p->object.z + ms / 24;
  if (keys[KEY_CTRL]) p->object.z = p->object.z - ms / 24;

  f32 fx = 0.0f, fy = 0.0f;
  if (keys[KEY_W]) {
    fx = fx + ms * cosf(a);
    fy = fy + ms * sinf(a);
  }
  if (keys[KEY_S]) {
    fx = fx + -ms * cosf(a);
    fy = fy + -ms * sinf(a);
  }
  if (keys[strafe_left]) {
    fx = fx + ms * sinf(a);
    fy = fy + -ms * cosf(a);
  }
  if (keys[strafe_right]) {
    fx = fx + -ms * sinf(a);
    fy = fy + ms * cosf(a);
  }

  p->acceleration_x = fx / p->mass;
  p->acceleration_y = fy / p->mass;
  p->velocity_x = p->velocity_x + (p->acceleration_x - p->velocity_x * friction);
  p->velocity_y = p->velocity_y + (p->acceleration_y - p->velocity_y * friction);

  f32 x = p->object.x, y = p->object.y;
  f32 nx = x + p->velocity_x, ny = y + p->velocity_y;
  if (!p->sector) {
    // Lost: move untested and look again where this step began.
    p->sector = get_sector_at(world, x, y);
  } else if (collide(p, x, y, &nx, &ny)) {
    return;
  }
  p->object.x = nx;
  p->object.y = ny;
}

void update_camera() {
  Camera* c = OM_camera;
  if (!c || !c->attached_to) return;
  c->object.x = c->attached_to->x;
  c->object.y = c->attached_to->y;
  c->object.z = c->attached_to->z;
  c->object.angle = c->attached_to->angle;
}

void reload_world() {
  OM_World* fresh = load_world("WORLD_DUMP");
  if (!fresh) return;  // out of memory: keep playing in the current world
  OM_World* old = world;
  world = fresh;
  if (player) {
    player->world = fresh;
    player->sector = get_sector_at(fresh, player->object.x, player->object.y);
  }
  if (old && old != fresh) release_world(old);
  // The editor's selection named vertices and edges of the old world.
  if (OM_editor) RV_Editor_WorldChanged((RV_Editor_Data*)OM_editor->data);
}

static void toggle(int* flag) { *flag = *flag == 0 ? 1 : 0; }

static void handle_shortcuts(int key) {
  if (key == KEY_TAB) {
    switch (gameState) {
      case EDITOR: gameState = GAMEPLAY; break;
      case GAMEPLAY: gameState = EDITOR_PREVIEW; break;
      default: gameState = EDITOR; break;
    }
  }
  if (key == KEY_V) toggle(&drawVertices);
  if (key == KEY_B) toggle(&draw_portals);
  if (key == KEY_N) toggle(&draw_edges);
  if (key == KEY_M) toggle(&relative_map_mode);
  // The held keys decide, not the event's: while Ctrl and S are down every
  // key-down (auto-repeats, other keys) saves again; likewise Ctrl and O.
  if (keyboard.keys[KEY_CTRL] && keyboard.keys[KEY_S] == 1) save_world("WORLD_DUMP", world);
  if (keyboard.keys[KEY_CTRL] && keyboard.keys[KEY_O] == 1) reload_world();
}

// Start-up step 5: the editor root covers the frame buffer; its init builds
// the toolbar, the map viewport and the console.
static int init_editor() {
  OM_Widget root = OM_Editor_Prototype;
  root.w = OM_frameBuffer->w;
  root.h = OM_frameBuffer->h;
  OM_editor = OM_CreateWidget(&root);
  return OM_editor ? 0 : 1;
}

int OM_Init() {
  world = load_world("WORLD_DEVEL");
  if (!world) return 1;
  create_player(world);
  create_camera(player);
  if (init_editor() != 0) return 1;
  gameState = EDITOR_PREVIEW;
  return 0;
}

void OM_Update() {
  if (OM_editor && OM_editor->HandleEvent) {
    OM_Event tick;
    memset(&tick, 0, sizeof tick);
    tick.type = OM_EVENT_TICK;
    OM_editor->HandleEvent(OM_editor, OM_editor->super, &tick);
  }
  if (gameState == GAMEPLAY) {
    if (player) {
      f32 turn = player->rotation_speed * mouse.delta.x * timer.delta * mouse_sensitivity;
      player->object.angle = player->object.angle - turn;
    }
    if (OM_frameBuffer) {
      mouse.cursor.x = OM_frameBuffer->w / 2;
      mouse.cursor.y = OM_frameBuffer->h / 2;
    }
  }
  if (mouse.wheel.delta != 0)
    editor_scale = static_cast<f32>(editor_scale + mouse.wheel.delta * 0.01);
  update_player();
  update_camera();
}

// The editor states draw the whole screen through the editor root.
static void render_editor() {
  if (!OM_editor || !OM_frameBuffer) return;
  OM_Event draw;
  memset(&draw, 0, sizeof draw);
  draw.type = OM_EVENT_DRAW;
  draw.surface = OM_frameBuffer;
  OM_editor->HandleEvent(OM_editor, OM_editor->super, &draw);
}

void OM_Render() {
  if (gameState == EDITOR || gameState == EDITOR_PREVIEW) render_editor();
  // A press is seen by the one frame drawn after it, not by every frame
  // while the button is held.
  mouse.LMB = 0;
}

// The polled cursor, in frame-buffer pixels, and a left-button press for
// widgets that decide while they draw (the menu bar).
static void feed_polled_mouse(OM_Event* event) {
  static i32 held;
  OM_Mouse* m = event->mouse;
  if (!m) return;
  switch (event->type) {
    case OM_EVENT_MOUSE_MOVE:
    case OM_EVENT_MOUSE_WHEEL:
    case OM_EVENT_MOUSE_BUTTON_DOWN:
    case OM_EVENT_MOUSE_BUTTON_UP: break;
    default: return;
  }
  mouse.cursor.x = m->x;
  mouse.cursor.y = m->y;
  if (event->type == OM_EVENT_MOUSE_BUTTON_DOWN && (m->buttons & OM_LMB) && !(held & OM_LMB))
    mouse.LMB = 1;
  held = m->buttons;
}

int OM_Game_Handle(OM_Event* event) {
  switch (event->type) {
    case OM_EVENT_INIT:
      OM_frameBuffer = OM_CreateSurface(OM_FRAME_WIDTH, OM_FRAME_HEIGHT);
      if (!OM_frameBuffer || OM_Init() != 0) return 1;
      event->surface = OM_frameBuffer;
      return 0;
    case OM_EVENT_TICK: OM_Update(); return 0;
    case OM_EVENT_DRAW: OM_Render(); return 0;
    case OM_EVENT_QUIT:
      OM_DestroySurface(OM_frameBuffer);
      OM_frameBuffer = nullptr;
      return 0;
    case OM_EVENT_KEYBOARD_KEY_DOWN:
      // Codes run 0..255 but the table has 255 slots: 255 is held nowhere.
      if (event->key >= 0 && event->key < 255) keyboard.keys[event->key] = 1;
      handle_shortcuts(event->key);
      return 0;
    case OM_EVENT_KEYBOARD_KEY_UP:
      if (event->key >= 0 && event->key < 255) keyboard.keys[event->key] = 0;
      return 0;
    default:
      // Mouse and every other event go to the editor in every game state.
      feed_polled_mouse(event);
      if (!OM_editor) return 0;
      return OM_editor->HandleEvent(OM_editor, OM_editor->super, event);
  }
}
