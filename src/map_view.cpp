// The map view's settings and its transforms between map units and viewport
// pixels. Every transform runs in f32 in a fixed order: the pixels the map
// draws and the points a click lands on are behaviour.
//
// Sections (grep for "// ==== "):
//   Transforms              map <-> viewport pixels, the map area under pixels
//   Picking and snapping    the vertex pick box, the snap grid
#include "map_view.h"

#include <cmath>
#include <initializer_list>

#include "ombrix.h"
#include "ui_widget.h"
#include "world_index.h"

// ==== Transforms ===========================================================

void RV_Editor_Viewport_ViewportToScreen(OM_Widget* self, OM_Camera* camera, f32* x, f32* y) {
  f32 px = *x, py = *y;
  if (relative_map_mode && OM_camera) {
    f32 a = OM_camera->object.angle - 3.1415927f;
    f32 s = sinf(a), c = cosf(a);
    px = px - OM_camera->object.x;
    py = py - OM_camera->object.y;
    f32 tx = px * s - py * c;
    f32 ty = px * c + py * s;
    px = tx;
    py = ty;
  }
  px = px + camera->object.x;
  py = py + camera->object.y;
  px = px / camera->object.z;
  py = py / camera->object.z;
  px = (px + 0.5f) * (f32)self->w;
  py = (py + 0.5f) * (f32)self->h;
  *x = px;
  *y = py;
}

void RV_Editor_Viewport_ScreenToViewport(OM_Widget* self, OM_Camera* camera, f32* x, f32* y) {
  f32 z = camera->object.z;
  f32 px = z * (*x / (f32)self->w - 0.5f) - camera->object.x;
  f32 py = z * (*y / (f32)self->h - 0.5f) - camera->object.y;
  if (relative_map_mode && OM_camera) {
    // The turn is a rotation: its transpose brings the point back.
    f32 a = OM_camera->object.angle - 3.1415927f;
    f32 s = sinf(a), c = cosf(a);
    f32 tx = px * s + py * c;
    f32 ty = py * s - px * c;
    px = tx + OM_camera->object.x;
    py = ty + OM_camera->object.y;
  }
  *x = px;
  *y = py;
}

bool RV_Editor_Viewport_MapArea(OM_Widget* self, OM_Camera* camera, f32 x0, f32 y0, f32 x1, f32 y1,
                                OM_WorldBox* area) {
  const f64 z = camera->object.z, w = self->w, h = self->h;
  if (!(z > 0.0) || !std::isfinite(z) || !(w > 0.0) || !(h > 0.0)) return false;
  const f64 panX = camera->object.x, panY = camera->object.y;
  const bool turned = relative_map_mode && OM_camera;
  f64 s = 0.0, c = 0.0, det = 1.0, camX = 0.0, camY = 0.0;
  if (turned) {
    // The f32 sine and cosine of the forward turn, undone in double.
    const f32 a = OM_camera->object.angle - 3.1415927f;
    s = sinf(a);
    c = cosf(a);
    det = s * s + c * c;
    camX = OM_camera->object.x;
    camY = OM_camera->object.y;
  }
  f64 lowX = INFINITY, lowY = INFINITY, highX = -INFINITY, highY = -INFINITY;
  for (f64 px : {(f64)x0, (f64)x1}) {
    for (f64 py : {(f64)y0, (f64)y1}) {
      f64 mx = (px / w - 0.5) * z - panX, my = (py / h - 0.5) * z - panY;
      if (turned) {
        const f64 tx = (s * mx + c * my) / det + camX;
        my = (s * my - c * mx) / det + camY;
        mx = tx;
      }
      if (!std::isfinite(mx) || !std::isfinite(my)) return false;
      lowX = fmin(lowX, mx);
      lowY = fmin(lowY, my);
      highX = fmax(highX, mx);
      highY = fmax(highY, my);
    }
  }
  // The f32 transform errs by a few ulp of the magnitudes it meets.
  const f64 magnitude = fmax(fmax(fabs(lowX), fabs(highX)), fmax(fabs(lowY), fabs(highY)));
  const f64 slack =
      0x1p-16 * (magnitude + fabs(panX) + fabs(panY) + fabs(camX) + fabs(camY) + z + 1.0);
  if (!(magnitude + slack < 1e37)) return false;
  *area = {(f32)(lowX - slack), (f32)(lowY - slack), (f32)(highX + slack), (f32)(highY + slack)};
  return true;
}

// ==== Picking and snapping =================================================

bool RV_Editor_InPickBox(f32 vx, f32 vy, f32 mx, f32 my) {
  return vx - RV_EDITOR_VERTEX_PICK < mx && mx <= vx + RV_EDITOR_VERTEX_PICK &&
         vy - RV_EDITOR_VERTEX_PICK < my && my <= vy + RV_EDITOR_VERTEX_PICK;
}

void OM_SnapToGrid(f32* x, f32* y, f32 sx, f32 sy) {
  *x = roundf(*x / sx) * sx;
  *y = roundf(*y / sy) * sy;
}
