// The game core: the program's single event entry point, start-up, the
// keyboard shortcuts, the host's pointer and wheel input, and the simulation
// step (player and camera). The first-person renderer is render.cpp; the
// world's file (start-up's world, save, reload, autosave) is
// world_session.cpp.
//
// Sections (grep for "// ==== "):
//   State                    the program-wide objects and the polled input
//   Heights mode             the switch, the eye above the floor, steps and
//                            falls
//   Start-up and event entry OM_Game_Handle, OM_Init, shortcuts, pointer and
//                            wheel input, OM_Render
//   Simulation               OM_Update, update_player, collide, update_camera
#include "ombrix.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "draw.h"
#include "editor.h"
#include "editor_commands.h"
#include "keys.h"
#include "map_view.h"
#include "math.h"
#include "object_camera.h"
#include "object_player.h"
#include "render.h"
#include "stream.h"
#include "surface.h"
#include "ui_console.h"
#include "ui_widget.h"
#include "world.h"
#include "world_session.h"

// ==== State ================================================================

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

// The one player and the one camera of the run; the globals point here.
static Player startPlayer;
static Camera startCamera;

// ==== Heights mode =========================================================

static f32 floor_under(const Player* p) { return p->sector ? p->sector->floorHeight : 0.0f; }

// Eye height `h` held inside room `s`: not below its floor, not above its
// ceiling. Outside every room nothing holds it.
static f32 held_in_room(const OM_WorldSector* s, f32 h) {
  if (!s) return h;
  f32 room = OM_MaxF32(s->ceilingHeight - s->floorHeight, 0.0f);
  return OM_MinF32(OM_MaxF32(h, 0.0f), room);
}

// The eye's present height above its floor becomes the height it rides at.
static void take_eye_height(Player* p) {
  p->eye_height = held_in_room(p->sector, p->object.z - floor_under(p));
  p->velocity_z = 0.0f;
}

// Space and Ctrl move the eye within its room; standing, it goes with it at
// once (sinking is no fall), in the air the fall aims at the new height.
static void rise_or_sink(Player* p, f32 by) {
  const f32 floor = floor_under(p);
  const bool standing = p->object.z <= floor + p->eye_height;
  p->eye_height = held_in_room(p->sector, p->eye_height + by);
  if (standing) p->object.z = floor + p->eye_height;
}

// Whether the room `to` beyond a portal is out of reach: its floor more than
// a step above the feet (the floor stood on, or the feet in the air over it
// during a fall), or the opening's ceiling (the lower of the two) below the
// eye as it would be beyond. Outside every room, or into nowhere, nothing
// is measured: the step goes as in the classic look.
static int blocked_by_heights(const Player* p, const OM_WorldSector* to) {
  const OM_WorldSector* from = p->sector;
  if (!heights_mode || !from || !to) return 0;
  f32 feet = OM_MaxF32(from->floorHeight, p->object.z - p->eye_height);
  if (to->floorHeight - feet > OM_STEP_HEIGHT) return 1;
  f32 eye = OM_MaxF32(p->object.z, to->floorHeight + p->eye_height);
  return eye > OM_MinF32(from->ceilingHeight, to->ceilingHeight) ? 1 : 0;
}

// After the step: the eye at its height above the floor, at once when that
// is higher (a step up, Space, a floor raised in the editor), falling under
// OM_GRAVITY when it is lower, never above the ceiling.
static void ride_floor(Player* p) {
  const OM_WorldSector* s = p->sector;
  if (!s) return;  // no floor to stand on until a room is found again
  p->eye_height = held_in_room(s, p->eye_height);
  f32 stand = s->floorHeight + p->eye_height;
  f32 z = OM_MinF32(p->object.z, s->ceilingHeight);
  if (z > stand) {
    p->velocity_z = p->velocity_z - OM_GRAVITY;
    z = z + p->velocity_z;
  }
  if (z <= stand) {
    z = stand;
    p->velocity_z = 0.0f;
  }
  p->object.z = z;
}

// One console line each, within the console's 80 columns.
static const char kHeightsLine[] =
    "Heights mode: every room at its own heights, with steps; you walk on floors (H)";
static const char kClassicLine[] =
    "Classic look: floor and ceiling of the room each view ends in; you float (H)";

// Heights mode on or off, with one console line when the look changes;
// switching on keeps the eye's present height above its floor (held between
// floor and ceiling) as the height it rides at.
static void switch_look(Player* p, int on) {
  on = on ? 1 : 0;
  if (on == heights_mode) return;
  heights_mode = on;
  if (on && p) take_eye_height(p);
  OM_Print(on ? kHeightsLine : kClassicLine);
}

// A world opened in the look it asks for; in heights mode the eye rides at
// the height it stands at above the floor.
static void take_world_look(Player* p, const OM_World* w) {
  switch_look(p, w->heights);
  if (heights_mode) take_eye_height(p);
}

// ==== Start-up and event entry ============================================

void place_at_start(Player* p, OM_World* w) {
  p->object = w->start;
  p->acceleration_x = p->acceleration_y = 0.0f;
  p->velocity_x = p->velocity_y = p->velocity_z = 0.0f;
  p->world = w;
  p->sector = get_sector_at(w, p->object.x, p->object.y);
  take_world_look(p, w);
}

static void create_player(OM_World* w) {
  Player p = {};
  p.movement_speed = 0.8f;
  p.rotation_speed = 0.061086524f;  // 3.5 degrees
  p.mass = 80.7f;
  p.height = 1.8f;
  p.eye_height = p.height - 0.2f;
  place_at_start(&p, w);
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

// The editor root covers the frame buffer; its init builds the toolbar, the
// map viewport and the console. A start-up that runs again (only tests do)
// replaces the editor it made before.
static int init_editor() {
  OM_Widget root = OM_Editor_Prototype;
  root.w = OM_frameBuffer ? OM_frameBuffer->w : OM_FRAME_WIDTH;
  root.h = OM_frameBuffer ? OM_frameBuffer->h : OM_FRAME_HEIGHT;
  // Nothing may reach the old editor through the global while it goes.
  OM_Widget* old = OM_editor;
  OM_editor = nullptr;
  OM_DestroyWidget(old);
  OM_editor = OM_CreateWidget(&root);
  return OM_editor ? 0 : 1;
}

// A texture resource decoded into a new surface, or null.
static OM_Surface* load_resource_surface(const char* path) {
  OM_Stream* stream = OM_OpenStream(path, OM_STREAM_READ);
  OM_Surface* surface = stream ? OM_LoadSurface(stream) : nullptr;
  OM_ReleaseStream(stream);
  return surface;
}

int OM_Init() {
  world = open_start_world();
  if (!world) return 1;
  create_player(world);
  create_camera(player);

  // A start-up that runs again (only tests do) replaces what the last one
  // loaded instead of leaking it.
  OM_DestroyFont(OM_font);
  OM_font = nullptr;
  OM_DestroySurface(dummyTexture);
  dummyTexture = nullptr;
  OM_Stream* stream = OM_OpenStream("res://FNT_IBM", OM_STREAM_READ);
  if (stream) {
    OM_font = OM_LoadFont(stream);
    OM_ReleaseStream(stream);
  }
  if (!OM_font) return 1;

  if (init_editor() != 0) return 1;

  // The renderer draws this wherever a texture is missing: without it there
  // is nothing safe to draw with.
  dummyTexture = load_resource_surface("res://TEX_WDUMMY");
  if (!dummyTexture) return 1;

  gameState = EDITOR_PREVIEW;
  return 0;
}

static void toggle(int* flag) { *flag = *flag == 0 ? 1 : 0; }

static void handle_shortcuts(int key) {
  if (key == OM_KEY_TAB) {
    switch (gameState) {
      case EDITOR: gameState = GAMEPLAY; break;
      case GAMEPLAY: gameState = EDITOR_PREVIEW; break;
      default: gameState = EDITOR; break;
    }
  }
  if (key == OM_KEY_V) toggle(&drawVertices);
  if (key == OM_KEY_B) toggle(&draw_portals);
  if (key == OM_KEY_N) toggle(&draw_edges);
  if (key == OM_KEY_M) toggle(&relative_map_mode);
  if (key == OM_KEY_H) switch_look(player, !heights_mode);
  // The held keys decide, not the event's: while Ctrl and S are down every
  // key-down (auto-repeats, other keys) saves again; likewise Ctrl and O.
  const u8* held = keyboard.keys;
  if (held[OM_KEY_CTRL] && held[OM_KEY_S] == 1) save_current_world();
  if (held[OM_KEY_CTRL] && held[OM_KEY_O] == 1) reload_world();
  // The editor's building commands, while the editor is shown; in gameplay
  // Escape and the letters belong to the pointer and the player.
  if (gameState == EDITOR || gameState == EDITOR_PREVIEW) RV_Editor_KeyDown(key);
}

// ---- Host input: pointer movement, wheel and pointer capture ----------

// What the host reported since the previous tick. Sums saturate: a flood of
// reports must not wrap around into a turn the other way.
static int pendingMotionX, pendingMotionY, pendingWheel;

static int saturating_add(int a, int b) {
  long long sum = static_cast<long long>(a) + b;
  if (sum > INT_MAX) return INT_MAX;
  if (sum < INT_MIN) return INT_MIN;
  return static_cast<int>(sum);
}

// The way back to the re-centred cursor is the movement negated; INT_MIN
// has no negation, so it is held one short.
static int way_back(int moved) { return moved == INT_MIN ? INT_MAX : -moved; }

void OM_Input_Motion(int dx, int dy) {
  pendingMotionX = saturating_add(pendingMotionX, dx);
  pendingMotionY = saturating_add(pendingMotionY, dy);
}

void OM_Input_Wheel(int delta) { pendingWheel = saturating_add(pendingWheel, delta); }

void OM_Input_ReleaseKeys(int (*send)(OM_Event* event)) {
  for (int k = 0; k < static_cast<int>(sizeof keyboard.keys); k++) {
    if (!keyboard.keys[k]) continue;
    OM_Event up;
    memset(&up, 0, sizeof up);
    up.type = OM_EVENT_KEYBOARD_KEY_UP;
    up.key = k;
    send(&up);
  }
}

int OM_Input_CaptureWanted(int focused, GameState state, int escaped) {
  return focused && state == GAMEPLAY && !escaped ? 1 : 0;
}

int OM_Input_Escaped(int escaped, GameState state, const OM_Event* delivered) {
  if (state != GAMEPLAY) return 0;
  if (!delivered) return escaped;
  if (delivered->type == OM_EVENT_KEYBOARD_KEY_DOWN && delivered->key == OM_KEY_ESCAPE) return 1;
  if (delivered->type == OM_EVENT_MOUSE_BUTTON_DOWN && delivered->mouse &&
      (delivered->mouse->buttons & OM_LMB))
    return 0;
  return escaped;
}

// One tick sees exactly the input that came since the previous one.
static void publish_input() {
  mouse.delta.x = way_back(pendingMotionX);
  mouse.delta.y = way_back(pendingMotionY);
  mouse.wheel.delta = pendingWheel;
  timer.delta = OM_TICK_SECONDS;
  pendingMotionX = pendingMotionY = pendingWheel = 0;
}

static void clear_input() {
  mouse.delta.x = mouse.delta.y = 0;
  mouse.wheel.delta = 0;
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

// Codes run 0..255 but the table has 255 slots: 255 is held nowhere.
static void set_key(int key, u8 down) {
  if (key >= 0 && key < 255) keyboard.keys[key] = down;
}

int OM_Game_Handle(OM_Event* event) {
  switch (event->type) {
    case OM_EVENT_INIT:
      OM_frameBuffer = OM_CreateSurface(OM_FRAME_WIDTH, OM_FRAME_HEIGHT);
      if (!OM_frameBuffer || OM_Init() != 0) return 1;
      event->surface = OM_frameBuffer;
      return 0;
    case OM_EVENT_TICK:
      publish_input();
      OM_Update();
      clear_input();
      autosave_tick();
      return 0;
    case OM_EVENT_DRAW: OM_Render(); return 0;
    case OM_EVENT_QUIT:
      // Closing the window with edits not saved keeps them in the autosave.
      autosave_at_quit();
      OM_DestroySurface(OM_frameBuffer);
      OM_frameBuffer = nullptr;
      return 0;
    case OM_EVENT_KEYBOARD_KEY_DOWN:
      set_key(event->key, 1);
      handle_shortcuts(event->key);
      return 0;
    case OM_EVENT_KEYBOARD_KEY_UP: set_key(event->key, 0); return 0;
    default:
      // Mouse and every other event go to the editor in every game state.
      feed_polled_mouse(event);
      return OM_Widget_Dispatch(OM_editor, event);
  }
}

void OM_Render() {
  // The editor states draw the whole screen through the editor root.
  if ((gameState == EDITOR || gameState == EDITOR_PREVIEW) && OM_frameBuffer)
    OM_Widget_Send(OM_editor, OM_EVENT_DRAW, OM_frameBuffer);
  if (gameState == GAMEPLAY) draw_game_viewport(OM_frameBuffer);
  // A press is seen by the one frame drawn after it, not by every frame
  // while the button is held.
  mouse.LMB = 0;
}

// ==== Simulation ===========================================================

static const f32 friction = 0.1f;  // fraction of the velocity lost per tick
static const f32 mouse_sensitivity = 2.0f;

void OM_Update() {
  OM_Widget_Send(OM_editor, OM_EVENT_TICK, nullptr);
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

// Tests the step (x, y) -> (*nx, *ny) against the edges of the player's
// sector. The first edge hit decides: a portal moves the target by the offset
// between the two edges' midpoints and changes the sector (unless, in
// heights mode, the room beyond is out of the eye's reach), anything else
// blocks. Returns 1 when the step is blocked.
static int collide(Player* p, f32 x, f32 y, f32* nx, f32* ny) {
  reg count = sector_edge_count(p->sector);
  for (reg i = 0; i < count; i++) {
    const OM_WorldEdge* edge = sector_edge(p->sector, i);
    const OM_WorldVertex* a = world_vertex(world, edge->v1);
    const OM_WorldVertex* b = world_vertex(world, edge->v2);
    if (!a || !b) continue;  // an edge without both ends cannot be met
    f32 ix, iy;
    if (!OM_LineIntersect(x, y, *nx, *ny, a->x, a->y, b->x, b->y, &ix, &iy)) continue;
    if (edge->type != OM_EDGE_PORTAL) return 1;
    f32 dx, dy;
    if (!world_portal_shift(world, edge, &dx, &dy)) return 1;  // a portal into nothing holds
    f32 tx = *nx + dx, ty = *ny + dy;
    OM_WorldSector* to = get_sector_at(world, tx, ty);
    if (blocked_by_heights(p, to)) return 1;
    *nx = tx;
    *ny = ty;
    p->sector = to;
    return 0;
  }
  return 0;
}

void update_player() {
  Player* p = player;
  if (!p) return;
  const u8* keys = keyboard.keys;
  int gameplay = gameState == GAMEPLAY;
  int turn_left = gameplay ? OM_KEY_Q : OM_KEY_A;
  int turn_right = gameplay ? OM_KEY_E : OM_KEY_D;
  int strafe_left = gameplay ? OM_KEY_A : OM_KEY_Q;
  int strafe_right = gameplay ? OM_KEY_D : OM_KEY_E;

  f32 a = p->object.angle;
  if (keys[turn_left]) a = a - p->rotation_speed;
  if (keys[turn_right]) a = a + p->rotation_speed;
  p->object.angle = a;

  f32 ms = p->movement_speed;
  if (heights_mode && p->sector) {
    if (keys[OM_KEY_SPACE]) rise_or_sink(p, ms / 24);
    if (keys[OM_KEY_CTRL]) rise_or_sink(p, -ms / 24);
  } else {
    if (keys[OM_KEY_SPACE]) p->object.z = p->object.z + ms / 24;
    if (keys[OM_KEY_CTRL]) p->object.z = p->object.z - ms / 24;
  }

  f32 fx = 0.0f, fy = 0.0f;
  if (keys[OM_KEY_W]) {
    fx = fx + ms * cosf(a);
    fy = fy + ms * sinf(a);
  }
  if (keys[OM_KEY_S]) {
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
  int blocked = 0;
  if (!p->sector) {
    // Lost: move untested and look again where this step began.
    p->sector = get_sector_at(world, x, y);
  } else {
    blocked = collide(p, x, y, &nx, &ny);
  }
  if (!blocked) {
    p->object.x = nx;
    p->object.y = ny;
  }
  if (heights_mode) ride_floor(p);  // a fall goes on while a wall holds the step
}

void update_camera() {
  Camera* c = OM_camera;
  if (!c || !c->attached_to) return;
  c->object.x = c->attached_to->x;
  c->object.y = c->attached_to->y;
  c->object.z = c->attached_to->z;
  c->object.angle = c->attached_to->angle;
}
