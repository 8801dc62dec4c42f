// The map editor and its view settings.
#pragma once

#include "math.h"
#include "types.h"

extern int draw_portals;  // also makes the renderer see through portals
extern int draw_edges;
extern int drawVertices;
extern int drawVerticesLabel;
extern int drawCamera;
extern int vertexSize;
extern int relative_map_mode;
extern u32 OM_Editor_Viewport_GridColor;
extern f32 editor_scale;
extern int snap_grid_x;
extern int snap_grid_y;
extern OM_Vector editor_rotate_center;
