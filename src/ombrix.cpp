#include "ombrix.h"

#include <cstring>

#include "editor.h"
#include "surface.h"
#include "ui_widget.h"

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
  if (init_editor() != 0) return 1;
  gameState = EDITOR_PREVIEW;
  return 0;
}

void OM_Update() {}

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
