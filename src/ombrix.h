// The game core: the single event entry point, start-up, the simulation step
// and the frame, with the input state the rest of the program polls.
#pragma once

#include "event.h"
#include "types.h"
// The world's file comes with the core: the hosts pass it the command line
// (OM_SetArguments) and the editor saves and reloads through it.
#include "world_session.h"

struct OM_Surface;
struct OM_Widget;
struct OM_World;
struct OM_Font;
struct Player;
struct Camera;

enum GameState : i32 {
  EDITOR = 0,
  EDITOR_PREVIEW = 1,
  GAMEPLAY = 2,
};

struct OM_Keyboard {
  u8 keys[255];  // 1 while the key with that virtual-key code is down
};

struct OM_MouseState {
  struct {
    int x, y;
  } cursor;
  // The pointer's movement in pixels since the previous tick, measured as
  // the way back to the re-centred cursor: `cursor` minus the pointer. A
  // pointer moved 10 px right gives x = -10, which the mouse look turns into
  // a turn to the right (a growing angle).
  struct {
    int x, y;
  } delta;
  struct {
    int delta;
  } wheel;
  int LMB;       // 1 for the one frame after a left press (the menu bar reads it)
  int RMB, MMB;  // kept beside LMB for the design; nothing feeds or reads them yet
};

struct OM_Timer {
  f32 delta;
};

extern OM_Keyboard keyboard;
extern u8 OM_keyboard[255];  // kept for the design; nothing reads or writes it
extern OM_Mouse OM_mouse;    // the host's live mouse record
extern OM_MouseState mouse;
extern OM_Timer timer;
extern GameState gameState;

enum {
  OM_FRAME_WIDTH = 640,
  OM_FRAME_HEIGHT = 480,
};

extern OM_Surface* OM_frameBuffer;
extern OM_Widget* OM_editor;
extern OM_World* world;
extern Player* player;
extern Camera* OM_camera;
extern OM_Font* OM_font;
extern OM_Surface* dummyTexture;

int OM_Game_Handle(OM_Event* event);
int OM_Init();
void OM_Update();
void OM_Render();

// One movement step of the player: keys, force, velocity, then the step
// tested against the current sector's walls and portals.
void update_player();
// Copies the attached object's position and heading into OM_camera.
void update_camera();
// The player stands at the world's stored start, at rest, in the sector
// found there, in the look the world asks for: heights mode when
// w->heights, the eye then riding at its start height above the floor.
void place_at_start(Player* p, OM_World* w);

// ---- Heights mode ----------------------------------------------------------
// With heights_mode (map_view.h) on, the player stands on floors: the eye
// rides player->eye_height above the floor of its room, a portal into a
// room whose floor is at most OM_STEP_HEIGHT higher lifts it, a taller step
// or an opening whose ceiling is below the eye stops the move like a wall,
// and a lower floor is reached by falling under OM_GRAVITY.

// The tallest step up a walk takes, world units.
inline constexpr f32 OM_STEP_HEIGHT = 0.5f;
// What a fall adds to the eye's downward speed each tick (units per tick).
inline constexpr f32 OM_GRAVITY = 0.0015f;

// ---- Host input: pointer movement, wheel and pointer capture ----------
// The host reports raw movement as it arrives; each tick event publishes
// the sums since the previous tick into `mouse.delta` and
// `mouse.wheel.delta`, sets `timer.delta` to OM_TICK_SECONDS, runs
// OM_Update and clears the sums again.

// The length of one tick: the host's 8 ms timer.
inline constexpr f32 OM_TICK_SECONDS = 0.008f;

// Pointer movement in pixels, right and down positive. Hosts report it only
// while the pointer is captured, so a free pointer turns nothing.
void OM_Input_Motion(int dx, int dy);
// A wheel turn in the platform's units (120 a notch), in every state.
void OM_Input_Wheel(int delta);
// Sends `send` a key-up, payload cleared, for every key keyboard.keys holds,
// in code order: the window lost the keyboard and will not see them go up.
void OM_Input_ReleaseKeys(int (*send)(OM_Event* event));
// Whether the host should capture the pointer (hide it, keep it inside the
// window, report its movement without limit): in GAMEPLAY while the window
// has the focus, unless Escape freed it.
int OM_Input_CaptureWanted(int focused, GameState state, int escaped);
// The host's "escaped" flag after it delivered `delivered` and the core
// acted on it (`state` is the state afterwards): Escape in GAMEPLAY sets it,
// a left-button press in GAMEPLAY clears it, and any other state forgets it,
// so entering GAMEPLAY takes the pointer.
int OM_Input_Escaped(int escaped, GameState state, const OM_Event* delivered);
