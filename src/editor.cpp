#include "editor.h"

int draw_portals = 1;
int draw_edges = 1;
int drawVertices = 1;
int drawVerticesLabel = 1;
int drawCamera = 1;
int vertexSize = 4;
int relative_map_mode = 0;
u32 OM_Editor_Viewport_GridColor = 0xFF333333;
f32 editor_scale = 8.0f;
int snap_grid_x = 10;
int snap_grid_y = 10;
OM_Vector editor_rotate_center;
