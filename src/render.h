// The first-person renderer: the ray-cast view that gameplay and the
// editor's preview draw, and its two switches.
#pragma once

struct OM_Surface;

// Non-zero: each call draws every other column, alternating between even and
// odd columns from call to call. Nothing changes it.
extern int interlace;

// The vector instructions the renderer may use: 2 AVX2, 1 SSE2, 0 none.
// Negative (the initial value) picks the best the processor has, and a
// higher level than it has is lowered. Every level draws the same pixels.
extern int renderer_simd;

// Ray-cast first-person view from OM_camera, starting in player->sector.
// Columns that are skipped or whose ray meets nothing keep their pixels.
void draw_game_viewport(OM_Surface* projection);
