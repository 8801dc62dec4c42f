// The plain reference the fast first-person renderer is checked against, pixel for pixel.
//
// A deliberately plain per-pixel restatement of the renderer. It reads the
// same globals (OM_camera, player, world, dummyTexture, draw_portals) but
// keeps no interlace counter: the caller names the first column and the
// column step.
#pragma once

#include "types.h"
#include "world.h"

struct OM_Surface;

void reference_draw_game_viewport(OM_Surface* projection, int firstColumn, int columnStep);
