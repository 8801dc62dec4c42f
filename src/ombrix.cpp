// The game core: the program's single event entry point, start-up, the
// simulation step (player and camera) and the frame, with the first-person
// renderer that draws gameplay and the editor's preview.
//
// Sections (grep for "// ==== "):
//   State                    the program-wide objects and the polled input
//   Start-up and event entry OM_Game_Handle, OM_Init, shortcuts, the world's
//                            file (start-up, save, reload, autosave), the
//                            host's arguments, pointer and wheel input
//   Simulation               OM_Update, update_player, update_camera
//   Renderer                 draw_game_viewport, its ray walk, the column
//                            fill and the SSE2 / AVX2 kernels
#include "ombrix.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
// AVX2 kernels are chosen at run time. Not on Windows: gcc there cannot align
// the stack for spilled 32-byte vectors, which would fault.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
#define OM_RENDER_X86 1
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "draw.h"
#include "editor.h"
#include "editor_commands.h"
#include "keys.h"
#include "math.h"
#include "object_camera.h"
#include "object_player.h"
#include "stream.h"
#include "surface.h"
#include "ui_console.h"
#include "ui_widget.h"
#include "world.h"
#include "world_file.h"

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

// ==== Start-up and event entry ============================================

// The player stands at the world's stored start, at rest, in the sector
// found there.
static void place_at_start(Player* p, OM_World* w) {
  p->object = w->start;
  p->acceleration_x = p->acceleration_y = 0.0f;
  p->velocity_x = p->velocity_y = 0.0f;
  p->world = w;
  p->sector = get_sector_at(w, p->object.x, p->object.y);
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

// ---- The world's file --------------------------------------------------

OM_WorldFile worldFile = {"WORLD_DUMP", 0, 0, 0, 0, 0, nullptr, 0, 0, 0};

static const char kDefaultWorldFile[] = "WORLD_DUMP";
static const char kAutosave[] = ".autosave";
enum : reg {
  kPathSize = OM_WORLD_FILE_NAME_SIZE + sizeof kAutosave,
  kMessageSize = 3 * OM_WORLD_FILE_NAME_SIZE + 256,  // two names and some words
};

// NAME.autosave. The name is short enough for the suffix to fit.
static void autosave_name(char* out) {
  reg n = strnlen(worldFile.name, sizeof worldFile.name - 1);
  memcpy(out, worldFile.name, n);
  memcpy(out + n, kAutosave, sizeof kAutosave);
}

// The world as it is now matches its file (just read or written): no edit
// waits for the autosave.
static void mark_saved(const OM_World* w) {
  worldFile.world = w;
  worldFile.savedEdits = worldFile.autosavedEdits = w ? w->edits : 0;
  worldFile.waited = 0;
}

void OM_SetArguments(int count, const char* const* args) {
  OM_WorldFile fresh = {};
  memcpy(fresh.name, kDefaultWorldFile, sizeof kDefaultWorldFile);
  worldFile = fresh;
  if (count <= 0 || !args) return;
  char m[kMessageSize];
  const char* a = args[0];
  reg n = a ? strlen(a) : 0;
  if (count > 1) {
    // Two words may be one name with a space: guessing could write a
    // stranger's file, so none of them is taken.
    snprintf(m, sizeof m, "One world file, not %d (quote a name with spaces): using '%s'", count,
             kDefaultWorldFile);
  } else if (!a) {
    snprintf(m, sizeof m, "The world file's name has a character Windows can't pass on: using '%s'",
             kDefaultWorldFile);
  } else if (n == 0) {
    snprintf(m, sizeof m, "The world file's name is empty: using '%s'", kDefaultWorldFile);
  } else if (n >= sizeof worldFile.name) {
    snprintf(m, sizeof m, "The world file's name is too long (%zu bytes, at most %zu): using '%s'",
             n, sizeof worldFile.name - 1, kDefaultWorldFile);
  } else {
    // "ombrix NAME.autosave" opens the autosave and saves it as NAME: that is
    // how an autosave is recovered.
    const reg suffix = sizeof kAutosave - 1;
    bool recover = n > suffix && strcmp(a + n - suffix, kAutosave) == 0;
    memset(worldFile.name, 0, sizeof worldFile.name);
    memcpy(worldFile.name, a, recover ? n - suffix : n);
    worldFile.named = 1;
    worldFile.recover = recover ? 1 : 0;
    return;
  }
  OM_Print(m);
}

// At start-up: an autosave newer than the world's file (or one without a
// file) holds edits an earlier run never saved. Says how to recover them,
// and this run neither autosaves over it nor removes it.
static void check_autosave() {
  char autosave[kPathSize];
  autosave_name(autosave);
  int64_t autosaved = 0, saved = 0;
  if (OM_GetFileKind(autosave) != OM_FILE_REGULAR || !OM_GetFileTime(autosave, &autosaved)) return;
  const char* name = worldFile.name;
  bool hasFile = OM_GetFileKind(name) == OM_FILE_REGULAR && OM_GetFileTime(name, &saved);
  if (hasFile && autosaved <= saved) return;  // a save came after it
  worldFile.keepAutosave = 1;
  char m[kMessageSize];
  snprintf(m, sizeof m, "%s %s %s: this run won't autosave over it", autosave,
           hasFile ? "is newer than" : "is there, but not", name);
  OM_Print(m);
  const char* quote = strchr(autosave, ' ') ? "\"" : "";
  snprintf(m, sizeof m, "To recover it, start ombrix %s%s%s and save (Ctrl+S)", quote, autosave,
           quote);
  OM_Print(m);
}

// The world start-up begins with: the named file's, or the built-in world.
// A named file that is missing or does not load gives the built-in world,
// with a line saying so; the run then saves to the name all the same, but
// never over a file that did not load. Null only when memory runs out.
static OM_World* open_start_world() {
  worldFile.refused = worldFile.keepAutosave = worldFile.autosaveFailed = 0;
  if (!worldFile.named) {
    // Built, never read: a stray file called WORLD_DEVEL changes nothing.
    OM_World* w = world_builtin();
    check_autosave();
    return w;
  }
  const char* name = worldFile.name;
  char source[kPathSize];
  if (worldFile.recover)
    autosave_name(source);
  else
    memcpy(source, name, sizeof worldFile.name);
  char m[kMessageSize];
  OM_World* w = nullptr;
  if (OM_GetFileKind(source) == OM_FILE_MISSING) {
    w = world_builtin();
    if (worldFile.recover)
      snprintf(m, sizeof m, "'%s' does not exist: the built-in world instead; Ctrl+S saves to '%s'",
               source, name);
    else
      snprintf(m, sizeof m,
               "'%s' does not exist yet: the built-in world instead; Ctrl+S creates it", name);
    OM_Print(m);
  } else if ((w = load_world(source)) != nullptr) {
    if (worldFile.recover) {
      snprintf(m, sizeof m, "Recovering '%s': Ctrl+S saves it as '%s'", source, name);
      OM_Print(m);
      return w;  // the autosave is what was opened: nothing to warn about
    }
  } else {
    w = world_builtin();
    // The file stays as it is until it loads: what is in it may be all
    // there is of someone's work. A broken autosave is kept the same way.
    if (worldFile.recover)
      worldFile.keepAutosave = 1;
    else
      worldFile.refused = 1;
    snprintf(m, sizeof m, "'%s' did not load and is kept as it is: the built-in world instead",
             source);
    OM_Print(m);
    if (worldFile.recover) return w;
  }
  check_autosave();
  return w;
}

// Makes the player's place and heading the world's start; returns the start
// it replaced.
static GameObject take_player_start(OM_World* w) {
  GameObject before = w->start;
  if (player) w->start = player->object;
  return before;
}

void save_current_world() {
  const char* name = worldFile.name;
  char m[kMessageSize];
  if (worldFile.refused && OM_GetFileKind(name) != OM_FILE_MISSING) {
    snprintf(m, sizeof m,
             "Not saved: '%s' did not load, so it is kept as it is (fix it and press Ctrl+O, "
             "or move it away)",
             name);
    OM_Print(m);
    return;
  }
  if (!world) {
    save_world(name, world);  // says it cannot
    return;
  }
  GameObject before = take_player_start(world);
  if (!save_world(name, world)) {
    world->start = before;
    return;
  }
  worldFile.refused = 0;
  mark_saved(world);
  if (worldFile.keepAutosave) return;  // an earlier run's, still to be recovered
  char autosave[kPathSize];
  autosave_name(autosave);
  if (OM_GetFileKind(autosave) == OM_FILE_REGULAR && !OM_RemoveFile(autosave)) {
    snprintf(m, sizeof m, "'%s' could not be removed: %s", autosave, OM_FileError());
    OM_Print(m);
  }
}

// Writes the edits not yet saved to NAME.autosave, with the player's place
// as the start (the world itself keeps its own). A failure is reported
// once, not every minute.
static void write_autosave() {
  worldFile.waited = 0;
  if (!world || worldFile.keepAutosave) return;
  char autosave[kPathSize], why[512];
  autosave_name(autosave);
  GameObject before = take_player_start(world);
  OM_SaveResult result = world_write_file(autosave, world, OM_SAVE_QUIET, why, sizeof why);
  world->start = before;
  if (result == OM_SAVE_FAILED) {
    if (!worldFile.autosaveFailed) {
      char m[kMessageSize];
      snprintf(m, sizeof m, "Autosave failed: %s", why);
      OM_Print(m);
    }
    worldFile.autosaveFailed = 1;
    return;
  }
  worldFile.autosaveFailed = 0;
  worldFile.autosavedEdits = world->edits;
}

// Edits the file and the last autosave both lack. A world that came in some
// other way than through here starts without any.
static bool edits_to_autosave() {
  if (worldFile.world != world) mark_saved(world);
  return world && world->edits != worldFile.savedEdits && world->edits != worldFile.autosavedEdits;
}

// Counts the ticks since the first edit the autosave does not hold yet: it
// writes a minute after that edit, so never more than once a minute, and
// no edit waits longer. Ticks, not a clock: the game's own time, the same
// in a test as in a run.
static void autosave_tick() {
  if (!edits_to_autosave()) {
    worldFile.waited = 0;
    return;
  }
  if (++worldFile.waited >= OM_AUTOSAVE_TICKS) write_autosave();
}

int OM_Init() {
  world = open_start_world();
  if (!world) return 1;
  mark_saved(world);
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

void reload_world() {
  // Without a file the built-in world comes back and the player stays
  // where it is, as it always has.
  bool fromFile = OM_GetFileKind(worldFile.name) != OM_FILE_MISSING;
  OM_World* fresh = load_world(worldFile.name);
  if (!fresh) {
    // Refused (or out of memory): everything stays, and a save must not
    // replace a file that may hold hand edits the reader choked on.
    if (fromFile) worldFile.refused = 1;
    return;
  }
  OM_World* old = world;
  world = fresh;
  if (player && fromFile) {
    place_at_start(player, fresh);
  } else if (player) {
    player->world = fresh;
    player->sector = get_sector_at(fresh, player->object.x, player->object.y);
  }
  update_camera();
  if (fromFile) worldFile.refused = 0;
  mark_saved(fresh);
  if (old && old != fresh) release_world(old);
  // The editor's selection named vertices and edges of the old world.
  if (OM_editor) RV_Editor_WorldChanged((RV_Editor_Data*)OM_editor->data);
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
      if (edits_to_autosave()) write_autosave();
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
// between the two edges' midpoints and changes the sector, anything else
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
    *nx = *nx + dx;
    *ny = *ny + dy;
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
  int turn_left = gameplay ? OM_KEY_Q : OM_KEY_A;
  int turn_right = gameplay ? OM_KEY_E : OM_KEY_D;
  int strafe_left = gameplay ? OM_KEY_A : OM_KEY_Q;
  int strafe_right = gameplay ? OM_KEY_D : OM_KEY_E;

  f32 a = p->object.angle;
  if (keys[turn_left]) a = a - p->rotation_speed;
  if (keys[turn_right]) a = a + p->rotation_speed;
  p->object.angle = a;

  f32 ms = p->movement_speed;
  if (keys[OM_KEY_SPACE]) p->object.z = p->object.z + ms / 24;
  if (keys[OM_KEY_CTRL]) p->object.z = p->object.z - ms / 24;

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

// ==== Renderer =============================================================
// Every pixel is computed with the same f32 operations
// in the same order as the plain per-pixel formulas; the speed comes from
// hoisting what is constant per frame, per column and per row, from SSE2 and
// AVX2 kernels that mask instead of dividing for power-of-two textures, and
// from drawing 16 columns at a time into a staging area that reaches the
// target row by row, a cache line at a time. An interlaced call does not pay
// for the half it skips: per-row constants are set up only for the rows that
// a drawn column reaches, and a chunk of every other column still reaches the
// target in whole vectors, merged with the other half read back from it.

int interlace = 1;
int renderer_simd = -1;

namespace {

const int kMaxPortalHops = 64;  // no real world nests portals this deep
const u32 kClosedPortalColor = 0xFFFF0000;
// Walls of an unknown edge type, broken portal links and unusable textures.
const u32 kUnknownWallColor = 0xFFFF00FF;
const int kBandRows = 512;  // rows whose per-row constants live on the stack
const f32 kIntLimit = 2147483648.0f;

struct View {
  const OM_World* world;
  const OM_WorldVertex* vertices;  // the world's, for the inner loops
  reg vertexCount;
  f32 camx, camy, camz, angle, viewDistance;
  f32 c, s;  // cosine and sine of the camera angle
  f32 projectionDistance;
  f32 subsequentRayAngle;
  int W, H, step;
  int w2, h2;
  int simd;  // renderer_simd, limited to what the processor has
};

struct Hit {
  const OM_WorldSector* sector;  // where the walk ended
  const OM_WorldEdge* edge;
  f32 z, ix, iy;
  bool brokenLink;  // a portal whose target does not exist: drawn, not followed
};

// A texture ready for sampling; data is null when nothing usable is there.
struct Texture {
  const u32* data;
  int step, w, h;
  f32 fw, fh;
  bool pow2;  // sizes and step are powers of two: rem is a mask, the row a shift
  int shift;  // log2(step) when pow2
};

Texture texture_of(const OM_Surface* t) {
  Texture r = {};
  if (!t) t = dummyTexture;
  if (!t || !t->data || t->w <= 0 || t->h <= 0) return r;
  r.data = t->data;
  r.step = t->step;
  r.w = t->w;
  r.h = t->h;
  r.fw = static_cast<f32>(t->w);
  r.fh = static_cast<f32>(t->h);
  r.pow2 = (t->w & (t->w - 1)) == 0 && (t->h & (t->h - 1)) == 0 && t->step > 0 &&
           (t->step & (t->step - 1)) == 0;
  while (r.pow2 && (1 << r.shift) < t->step) ++r.shift;
  return r;
}

// Truncation toward zero for the texture coordinates: a value that has no
// int truncation (NaN, infinite, beyond 2^31) samples coordinate 0.
inline int trunc_or_zero(f32 a) { return static_cast<int>(fabsf(a) < kIntLimit ? a : 0.0f); }

bool edge_usable(const View& v, const OM_WorldEdge* e) {
  return e->v1 < v.vertexCount && e->v2 < v.vertexCount;
}

// Follows one ray from the camera through portals. False when the column
// must keep its pixels: nothing hit, or the hop bound ran out.
bool cast_ray(const View& v, f32 rayAngle, Hit* out) {
  f32 dirx = cosf(v.angle + rayAngle);
  f32 diry = sinf(v.angle + rayAngle);
  f32 ox = v.camx, oy = v.camy;
  const OM_WorldSector* sector = player->sector;
  const OM_WorldEdge* skip = nullptr;
  for (int hops = 0;; ++hops) {
    f32 ex = ox + v.viewDistance * dirx;
    f32 ey = oy + v.viewDistance * diry;
    f32 sAx = ex - ox, sAy = ey - oy;
    f32 z = v.viewDistance;
    const OM_WorldEdge* hit = nullptr;
    f32 hx = 0, hy = 0;
    const OM_WorldEdge* edges = sector_edge(sector, 0);
    reg count = sector_edge_count(sector);
    for (reg i = 0; i < count; ++i) {
      const OM_WorldEdge* e = edges + i;
      if (e == skip || !edge_usable(v, e)) continue;
      const OM_WorldVertex p = v.vertices[e->v1];
      const OM_WorldVertex q = v.vertices[e->v2];
      // OM_LineIntersect and OM_LineLength, term for term.
      f32 sBx = q.x - p.x, sBy = q.y - p.y;
      f32 dx = ox - p.x, dy = oy - p.y;
      f32 D = -sBx * sAy + sAx * sBy;
      f32 sb = (-sAy * dx + sAx * dy) / D;
      f32 ta = (sBx * dy - sBy * dx) / D;
      if (!(sb >= 0 && sb <= 1 && ta >= 0 && ta <= 1)) continue;
      f32 ix = ox + ta * sAx, iy = oy + ta * sAy;
      f32 lx = ox - ix, ly = oy - iy;
      f32 d = sqrtf(lx * lx + ly * ly);
      if (d < z) {
        z = d;
        hit = e;
        hx = ix;
        hy = iy;
      }
    }
    if (!hit) return false;
    *out = {sector, hit, z, hx, hy, false};
    if (hit->type != OM_EDGE_PORTAL || draw_portals == 0) return true;
    const OM_WorldSector* next = world_sector(v.world, hit->portal_sector);
    const OM_WorldEdge* entry = sector_edge(next, hit->portal_edge);
    if (!entry || !edge_usable(v, entry)) {
      out->brokenLink = true;
      return true;
    }
    if (hops == kMaxPortalHops) return false;
    f32 shiftx, shifty;
    portal_shift(v.vertices[hit->v1], v.vertices[hit->v2], v.vertices[entry->v1],
                 v.vertices[entry->v2], &shiftx, &shifty);
    ox = ox + shiftx;
    oy = oy + shifty;
    sector = next;
    skip = entry;
  }
}

// Per-row constants of a floor or ceiling band, rows r0 .. r0 + kBandRows:
// zd, zd * s and camera x + zd * c.
struct FlatRows {
  f32 zd[kBandRows];
  f32 zds[kBandRows];
  f32 zdcx[kBandRows];
};

// The per-row constants of the floors (or the ceilings) at the two heights
// drawn last. A world whose floors are all at one height fills one entry
// once per band; a view that crosses one step between heights keeps both.
struct FlatCache {
  u32 heightBits;  // meaningless while the entry holds no rows
  int from, to;    // band rows from .. to are valid
  FlatRows rows;
};

struct FlatCaches {
  FlatCache entries[2];
  int last;  // the entry used most recently; the other one goes first
};

// Band rows from .. to of a band that starts at target row r0.
void fill_flat_rows(const View& v, int r0, f32 numerator, int from, int to, FlatRows* rows) {
  f32 fH = static_cast<f32>(v.H);
  for (int i = from; i < to; ++i) {
    f32 yd = static_cast<f32>(r0 + i - v.h2) / fH;
    f32 zd = numerator / yd;
    rows->zd[i] = zd;
    rows->zds[i] = zd * v.s;
    rows->zdcx[i] = v.camx + zd * v.c;
  }
}

const int kChunk = 16;  // columns drawn together: one cache line of a target row

// The per-row constants of one band of rows, and the staging area in which a
// chunk of columns is drawn, column j at stage[j * kBandRows], before it goes
// to the target row by row.
struct Band {
  int r0, r1;
  FlatCaches ceilings, floors;
  u32 stage[kChunk * kBandRows];
};

// The vector kernels below compute the same f32 operations as the plain loops
// for textures whose sizes and step are powers of two. Their conversions turn
// NaN and out-of-range values into 0x80000000, which a power-of-two size minus
// one masks to 0: the coordinate that trunc_or_zero gives, with no select.
#if defined(__SSE2__)
inline void gather4(u32* out, const u32* texels, __m128i idx) {
  alignas(16) int k[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(k), idx);
  out[0] = texels[k[0]];
  out[1] = texels[k[1]];
  out[2] = texels[k[2]];
  out[3] = texels[k[3]];
}

int flat_run_sse2(const View& v, u32* out, int a, int b, const FlatRows& rows, f32 xc,
                  const Texture& tex) {
  const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  const __m128 vxc = _mm_set1_ps(xc), vc = _mm_set1_ps(v.c), vs = _mm_set1_ps(v.s);
  const __m128 vcamy = _mm_set1_ps(v.camy), vfw = _mm_set1_ps(tex.fw), vfh = _mm_set1_ps(tex.fh);
  const __m128i wm = _mm_set1_epi32(tex.w - 1), hm = _mm_set1_epi32(tex.h - 1);
  const __m128i sh = _mm_cvtsi32_si128(tex.shift);
  int i = a;
  for (; i + 4 <= b; i += 4) {
    __m128 xd = _mm_mul_ps(vxc, _mm_loadu_ps(rows.zd + i));
    __m128 wy = _mm_add_ps(_mm_add_ps(vcamy, _mm_mul_ps(xd, vc)), _mm_loadu_ps(rows.zds + i));
    __m128 wx = _mm_sub_ps(_mm_loadu_ps(rows.zdcx + i), _mm_mul_ps(xd, vs));
    __m128i u = _mm_and_si128(_mm_cvttps_epi32(_mm_and_ps(_mm_mul_ps(vfw, wy), absMask)), wm);
    __m128i t = _mm_and_si128(_mm_cvttps_epi32(_mm_and_ps(_mm_mul_ps(vfh, wx), absMask)), hm);
    gather4(out + i, tex.data, _mm_add_epi32(u, _mm_sll_epi32(t, sh)));
  }
  return i;
}

// The caller keeps |row sum| below 2^23, where truncation and floor are exact.
int wall_run_sse2(u32* out, int a, int b, int base, f32 ceil, f32 wallHeight, int u,
                  const Texture& tex) {
  const __m128 vceil = _mm_set1_ps(ceil), vfh = _mm_set1_ps(tex.fh);
  const __m128 vwh = _mm_set1_ps(wallHeight);
  const __m128i hm = _mm_set1_epi32(tex.h - 1), vu = _mm_set1_epi32(u);
  const __m128i sh = _mm_cvtsi32_si128(tex.shift), four = _mm_set1_epi32(4);
  __m128i y = _mm_setr_epi32(base + a, base + a + 1, base + a + 2, base + a + 3);
  int i = a;
  for (; i + 4 <= b; i += 4) {
    __m128 sum = _mm_add_ps(_mm_cvtepi32_ps(y), vceil);
    __m128i row = _mm_cvttps_epi32(sum);
    row = _mm_add_epi32(row, _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(row), sum)));
    __m128 q = _mm_div_ps(_mm_mul_ps(_mm_cvtepi32_ps(row), vfh), vwh);
    __m128i t = _mm_cvttps_epi32(q);
    __m128i sign = _mm_srai_epi32(t, 31);
    t = _mm_sub_epi32(_mm_xor_si128(t, sign), sign);
    gather4(out + i, tex.data, _mm_add_epi32(vu, _mm_sll_epi32(_mm_and_si128(t, hm), sh)));
    y = _mm_add_epi32(y, four);
  }
  return i;
}
#endif

#if defined(OM_RENDER_X86)
__attribute__((target("avx2"))) int flat_run_avx2(const View& v, u32* out, int a, int b,
                                                  const FlatRows& rows, f32 xc,
                                                  const Texture& tex) {
  const __m256 absMask = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
  const __m256 vxc = _mm256_set1_ps(xc), vc = _mm256_set1_ps(v.c), vs = _mm256_set1_ps(v.s);
  const __m256 vcamy = _mm256_set1_ps(v.camy), vfw = _mm256_set1_ps(tex.fw);
  const __m256 vfh = _mm256_set1_ps(tex.fh);
  const __m256i wm = _mm256_set1_epi32(tex.w - 1), hm = _mm256_set1_epi32(tex.h - 1);
  const __m128i sh = _mm_cvtsi32_si128(tex.shift);
  const int* texels = reinterpret_cast<const int*>(tex.data);
  int i = a;
  for (; i + 8 <= b; i += 8) {
    __m256 xd = _mm256_mul_ps(vxc, _mm256_loadu_ps(rows.zd + i));
    __m256 wy =
        _mm256_add_ps(_mm256_add_ps(vcamy, _mm256_mul_ps(xd, vc)), _mm256_loadu_ps(rows.zds + i));
    __m256 wx = _mm256_sub_ps(_mm256_loadu_ps(rows.zdcx + i), _mm256_mul_ps(xd, vs));
    __m256i u =
        _mm256_and_si256(_mm256_cvttps_epi32(_mm256_and_ps(_mm256_mul_ps(vfw, wy), absMask)), wm);
    __m256i t =
        _mm256_and_si256(_mm256_cvttps_epi32(_mm256_and_ps(_mm256_mul_ps(vfh, wx), absMask)), hm);
    __m256i idx = _mm256_add_epi32(u, _mm256_sll_epi32(t, sh));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                        _mm256_i32gather_epi32(texels, idx, 4));
  }
  return i;
}

__attribute__((target("avx2"))) int wall_run_avx2(u32* out, int a, int b, int base, f32 ceil,
                                                  f32 wallHeight, int u, const Texture& tex) {
  const __m256 vceil = _mm256_set1_ps(ceil), vfh = _mm256_set1_ps(tex.fh);
  const __m256 vwh = _mm256_set1_ps(wallHeight);
  const __m256i hm = _mm256_set1_epi32(tex.h - 1), vu = _mm256_set1_epi32(u);
  const __m128i sh = _mm_cvtsi32_si128(tex.shift);
  const __m256i eight = _mm256_set1_epi32(8);
  const int* texels = reinterpret_cast<const int*>(tex.data);
  __m256i y =
      _mm256_add_epi32(_mm256_set1_epi32(base + a), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
  int i = a;
  for (; i + 8 <= b; i += 8) {
    __m256 sum = _mm256_add_ps(_mm256_cvtepi32_ps(y), vceil);
    __m256i row = _mm256_cvttps_epi32(sum);
    __m256 above = _mm256_cmp_ps(_mm256_cvtepi32_ps(row), sum, _CMP_GT_OQ);
    row = _mm256_add_epi32(row, _mm256_castps_si256(above));
    __m256 q = _mm256_div_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(row), vfh), vwh);
    __m256i t = _mm256_abs_epi32(_mm256_cvttps_epi32(q));
    __m256i idx = _mm256_add_epi32(vu, _mm256_sll_epi32(_mm256_and_si256(t, hm), sh));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                        _mm256_i32gather_epi32(texels, idx, 4));
    y = _mm256_add_epi32(y, eight);
  }
  return i;
}

int best_simd() {
  static int best = -1;
  if (best < 0) {
    __builtin_cpu_init();
    best = __builtin_cpu_supports("avx2") ? 2 : 1;
  }
  return best;
}
#elif defined(__SSE2__)
int best_simd() { return 1; }
#else
int best_simd() { return 0; }
#endif

// Band rows a .. b of one column of floor or ceiling, into out[a .. b].
void flat_run(const View& v, u32* out, int a, int b, const FlatRows& rows, f32 xc,
              const Texture& tex) {
  if (a >= b) return;
  if (!tex.data) {
    for (int i = a; i < b; ++i) out[i] = kUnknownWallColor;
    return;
  }
  if (tex.pow2) {
#if defined(OM_RENDER_X86)
    if (v.simd >= 2) a = flat_run_avx2(v, out, a, b, rows, xc, tex);
#endif
#if defined(__SSE2__)
    if (v.simd >= 1) a = flat_run_sse2(v, out, a, b, rows, xc, tex);
#endif
  }
  for (int i = a; i < b; ++i) {
    f32 xd = xc * rows.zd[i];
    f32 wy = v.camy + xd * v.c + rows.zds[i];
    f32 wx = rows.zdcx[i] - xd * v.s;
    int u = trunc_or_zero(fabsf(tex.fw * wy)) % tex.w;
    int t = trunc_or_zero(fabsf(tex.fh * wx)) % tex.h;
    out[i] = tex.data[u + t * tex.step];
  }
}

// Band rows a .. b of the wall span of one column, into out[a .. b].
void wall_run(const View& v, u32* out, int a, int b, int r0, const Hit& hit, f32 ceil,
              f32 wallHeight) {
  if (a >= b) return;
  u32 color = kUnknownWallColor;
  if (!hit.brokenLink) {
    if (hit.edge->type == OM_EDGE_COLOR) color = hit.edge->color;
    if (hit.edge->type == OM_EDGE_PORTAL) color = kClosedPortalColor;
  }
  Texture tex = {};
  if (!hit.brokenLink && hit.edge->type == OM_EDGE_TEXTURE) tex = texture_of(hit.edge->texture);
  if (!tex.data) {
    for (int i = a; i < b; ++i) out[i] = color;
    return;
  }
  // Texture column: one copy spans the edge along its longer whole-unit axis.
  const OM_WorldVertex p = v.vertices[hit.edge->v1], q = v.vertices[hit.edge->v2];
  f32 dx = q.x - p.x, dy = q.y - p.y;
  int u;
  if (truncf(fabsf(dx)) > truncf(fabsf(dy)) || dy == 0.0f) {
    u = trunc_or_zero(tex.fw * (hit.ix - p.x) / dx) % tex.w;
  } else {
    u = trunc_or_zero(tex.fw * (hit.iy - p.y) / dy) % tex.w;
  }
  if (u < 0) u += tex.w;
  int base = r0 - v.h2;
  const int kSmall = 4194304;  // 2^22: every row sum stays below 2^23
  if (tex.pow2 && fabsf(ceil) < static_cast<f32>(kSmall) && base + a > -kSmall &&
      base + b < kSmall) {
#if defined(OM_RENDER_X86)
    if (v.simd >= 2) a = wall_run_avx2(out, a, b, base, ceil, wallHeight, u, tex);
#endif
#if defined(__SSE2__)
    if (v.simd >= 1) a = wall_run_sse2(out, a, b, base, ceil, wallHeight, u, tex);
#endif
  }
  for (int i = a; i < b; ++i) {
    f32 row = floorf(static_cast<f32>(base + i) + ceil);
    int t = trunc_or_zero(row * tex.fh / wallHeight) % tex.h;
    out[i] = tex.data[u + (t < 0 ? -t : t) * tex.step];
  }
}

#if defined(__SSE2__)
// Four staged columns, rows y .. y + 3 of the band, as four target rows.
inline void transpose4(const u32* src, __m128i* rows) {
  __m128i c0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
  __m128i c1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + kBandRows));
  __m128i c2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * kBandRows));
  __m128i c3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * kBandRows));
  __m128i lo01 = _mm_unpacklo_epi32(c0, c1), lo23 = _mm_unpacklo_epi32(c2, c3);
  __m128i hi01 = _mm_unpackhi_epi32(c0, c1), hi23 = _mm_unpackhi_epi32(c2, c3);
  rows[0] = _mm_unpacklo_epi64(lo01, lo23);
  rows[1] = _mm_unpackhi_epi64(lo01, lo23);
  rows[2] = _mm_unpacklo_epi64(hi01, hi23);
  rows[3] = _mm_unpackhi_epi64(hi01, hi23);
}

// Four new pixels into every other pixel of out[0 .. 8], starting at
// out[parity]; the pixels between them are read and written back unchanged.
inline void interleave_store(u32* out, __m128i fresh, int parity) {
  __m128 a = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(out)));
  __m128 b = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(out + 4)));
  __m128i lo, hi;
  if (parity == 0) {
    __m128i odd = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    lo = _mm_unpacklo_epi32(fresh, odd);
    hi = _mm_unpackhi_epi32(fresh, odd);
  } else {
    __m128i even = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    lo = _mm_unpacklo_epi32(even, fresh);
    hi = _mm_unpackhi_epi32(even, fresh);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), lo);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), hi);
}
#endif

// Rows r0 .. r1 of `count` staged columns into the target: column j goes to
// target column xs[j]. `stride` is 1 or 2 when the chunk is whole, every one
// of its kChunk columns drawn and xs[j] == xs[0] + stride * j; 0 otherwise.
void copy_out(const View& v, u32* pixels, const Band& band, const int* xs, int count, int stride) {
  int r0 = band.r0, r1 = band.r1, y = r0;
#if defined(__SSE2__)
  // Interlaced chunks interleave with the columns of the other parity, kept
  // by reading them back: the whole span of 2 * kChunk target columns,
  // from the even column at or before the first, must lie inside the target.
  int parity = xs[0] & 1, span = xs[0] - parity;
  if (v.simd >= 1 && stride == 2 && span + 2 * kChunk <= v.W) {
    for (; y + 4 <= r1; y += 4) {
      u32* row = pixels + v.step * y + span;
      for (int j = 0; j < kChunk; j += 4) {
        __m128i rows[4];
        transpose4(band.stage + j * kBandRows + (y - r0), rows);
        for (int k = 0; k < 4; ++k) interleave_store(row + k * v.step + 2 * j, rows[k], parity);
      }
    }
  }
  if (v.simd >= 1 && stride == 1) {
    for (; y + 4 <= r1; y += 4) {
      u32* row = pixels + v.step * y + xs[0];
      for (int j = 0; j < kChunk; j += 4) {
        __m128i rows[4];
        transpose4(band.stage + j * kBandRows + (y - r0), rows);
        for (int k = 0; k < 4; ++k) {
          _mm_storeu_si128(reinterpret_cast<__m128i*>(row + k * v.step + j), rows[k]);
        }
      }
    }
  }
#else
  (void)stride;
#endif
  for (; y < r1; ++y) {
    u32* row = pixels + v.step * y;
    const u32* src = band.stage + (y - r0);
    for (int j = 0; j < count; ++j) row[xs[j]] = src[j * kBandRows];
  }
}

u32 float_bits(f32 f) {
  u32 b;
  memcpy(&b, &f, sizeof b);
  return b;
}

// The per-row constants of a floor or ceiling at this height, valid at least
// for band rows from .. to. Ceilings ask from the top, floors down to the
// bottom, so what an entry holds stays one run of rows.
const FlatRows& fill_flat_cache(const View& v, int r0, FlatCaches* caches, f32 height, int from,
                                int to) {
  u32 bits = float_bits(height);
  int k = -1;
  for (int i = 0; i < 2; ++i) {
    if (caches->entries[i].heightBits == bits) k = i;
  }
  if (k < 0) {
    k = 1 - caches->last;
    caches->entries[k].heightBits = bits;
    caches->entries[k].to = caches->entries[k].from;
  }
  caches->last = k;
  FlatCache& cache = caches->entries[k];
  // Empty (just taken over, or unused so far in this band): start where asked.
  if (cache.from >= cache.to) cache.from = cache.to = from;
  f32 numerator = v.camz - height;
  if (from < cache.from) {
    fill_flat_rows(v, r0, numerator, from, cache.from, &cache.rows);
    cache.from = from;
  }
  if (to > cache.to) {
    fill_flat_rows(v, r0, numerator, cache.to, to, &cache.rows);
    cache.to = to;
  }
  return cache.rows;
}

// Most columns ask for rows that the entry used last already holds: the
// ceiling's from the top down to band row `to`, the floor's from band row
// `from` to the bottom.
inline const FlatRows& ceiling_rows(const View& v, Band* band, f32 height, int to) {
  const FlatCache& last = band->ceilings.entries[band->ceilings.last];
  if (last.heightBits == float_bits(height) && to <= last.to) return last.rows;
  return fill_flat_cache(v, band->r0, &band->ceilings, height, 0, to);
}

inline const FlatRows& floor_rows(const View& v, Band* band, f32 height, int from) {
  const FlatCache& last = band->floors.entries[band->floors.last];
  if (last.heightBits == float_bits(height) && from >= last.from) return last.rows;
  return fill_flat_cache(v, band->r0, &band->floors, height, from, band->r1 - band->r0);
}

// Casts the ray of column x and draws the band's rows of it into out. False
// when the column keeps its pixels.
bool draw_column(const View& v, Band* band, int x, u32* out) {
  f32 rayAngle = static_cast<f32>(x - v.w2) * v.subsequentRayAngle;
  Hit hit;
  if (!cast_ray(v, rayAngle, &hit)) return false;
  f32 z = hit.z * cosf(rayAngle);
  const OM_WorldSector* sector = hit.sector;
  f32 wallHeight = v.projectionDistance / z;
  f32 ceil = wallHeight * (sector->ceilingHeight - v.camz);
  f32 floor = wallHeight * (v.camz - sector->floorHeight);
  f32 fH = static_cast<f32>(v.H);
  f32 top = static_cast<f32>(v.h2) - ceil, bottom = static_cast<f32>(v.h2) + floor;
  int y0 = static_cast<int>(OM_MaxF32(OM_MinF32(top, fH), 0.0f));
  int y1 = static_cast<int>(OM_MaxF32(OM_MinF32(bottom, fH), 0.0f));
  f32 xc = static_cast<f32>(x - v.w2) / fH;
  int r0 = band->r0, r1 = band->r1;

  // Band-relative row ranges. The floor is drawn last and wins where it
  // overlaps the ceiling, so the ceiling stops at the floor.
  int ceilEnd = OM_MinI32(OM_MinI32(y0, y1), r1) - r0;
  int wallBegin = OM_MaxI32(y0, r0) - r0, wallEnd = OM_MinI32(y1, r1) - r0;
  int floorBegin = OM_MaxI32(y1, r0) - r0, floorEnd = r1 - r0;
  if (ceilEnd > 0) {
    const FlatRows& rows = ceiling_rows(v, band, sector->ceilingHeight, ceilEnd);
    flat_run(v, out, 0, ceilEnd, rows, xc, texture_of(sector->ceilingTexture));
  }
  wall_run(v, out, wallBegin, wallEnd, r0, hit, ceil, wallHeight);
  if (floorBegin < floorEnd) {
    const FlatRows& rows = floor_rows(v, band, sector->floorHeight, floorBegin);
    flat_run(v, out, floorBegin, floorEnd, rows, xc, texture_of(sector->floorTexture));
  }
  return true;
}

void draw_band(const View& v, u32* pixels, int first, int columnStep, Band* band) {
  // Floor and ceiling rows are set up on demand, only as far as some column
  // of this call reaches: the floor from the bottom up, the ceiling from the top down.
  band->ceilings.last = band->floors.last = 0;
  // Empty entries, at the end from which their rows grow: no request fits.
  for (int i = 0; i < 2; ++i) {
    band->ceilings.entries[i].heightBits = band->floors.entries[i].heightBits = 0;
    band->ceilings.entries[i].from = band->ceilings.entries[i].to = 0;
    band->floors.entries[i].from = band->floors.entries[i].to = band->r1 - band->r0;
  }

  int end = OM_MinI32(v.W, 0x10000);  // columns are numbered in 16 bits
  for (int x0 = first; x0 < end; x0 += kChunk * columnStep) {
    int xs[kChunk];
    int count = 0, tried = 0;
    for (int x = x0; x < end && tried < kChunk; x += columnStep, ++tried) {
      if (draw_column(v, band, x, band->stage + count * kBandRows)) xs[count++] = x;
    }
    if (count == 0) continue;
    int stride = count == kChunk ? columnStep : 0;  // then xs[j] == x0 + columnStep * j
    copy_out(v, pixels, *band, xs, count, stride);
  }
}

}  // namespace

void draw_game_viewport(OM_Surface* projection) {
  static int interlaceItterator = 0;
  int first = 0, columnStep = 1;
  if (interlace) {
    first = interlaceItterator & 1;
    columnStep = 2;
    // Wraps instead of overflowing; the parity keeps alternating.
    interlaceItterator = static_cast<int>(static_cast<u32>(interlaceItterator) + 1u);
  }
  if (!projection || !projection->data || !player || !player->sector || !world || !OM_camera)
    return;
  if (projection->w <= 0 || projection->h <= 0) return;

  const Camera* cam = OM_camera;
  View v;
  v.world = world;
  v.vertices = world_vertex(world, 0);
  v.vertexCount = world_vertex_count(world);
  v.camx = cam->object.x;
  v.camy = cam->object.y;
  v.camz = cam->object.z;
  v.angle = cam->object.angle;
  v.viewDistance = cam->view_distance;
  v.c = cosf(v.angle);
  v.s = sinf(v.angle);
  v.W = projection->w;
  v.H = projection->h;
  v.step = projection->step;
  u16 w2 = static_cast<u16>(v.W / 2), h2 = static_cast<u16>(v.H / 2);
  v.w2 = w2;
  v.h2 = h2;
  v.projectionDistance = w2 / tanf(cam->fov / 2.0f);
  v.subsequentRayAngle = cam->fov / static_cast<f32>(v.W);
  v.simd = renderer_simd < 0 ? best_simd() : OM_MinI32(renderer_simd, best_simd());

  // Targets taller than one band cast their rays again for every band; the
  // results are the same each time.
  Band band;
  for (int r0 = 0; r0 < v.H; r0 += kBandRows) {
    band.r0 = r0;
    band.r1 = OM_MinI32(r0 + kBandRows, v.H);
    draw_band(v, projection->data, first, columnStep, &band);
  }
}
