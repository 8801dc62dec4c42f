// Building levels in the editor: the keyboard commands, drawing mode and the
// link mark. Each command that changes the world is one edit of
// editor_steps.h (begin, then abandon or commit).
//
// Sections (grep for "// ==== "):
//   Helpers           the console line, the edit style, the selected edge
//   Drawing mode      where a click lands, adding corners, closing and
//                     cancelling the outline, the overlay on the map
//   Commands          delete, heights, textures, link, undo and redo
//   Keys              RV_Editor_KeyDown
//   Map calls         the drawing's clicks, pointer and overlay
//   Editor lifetime   history made, cleared and freed; a new world
#include "editor_commands.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "collection.h"
#include "draw.h"
#include "editor_state.h"
#include "editor_steps.h"
#include "history.h"
#include "keys.h"
#include "map_view.h"
#include "math.h"
#include "object_player.h"
#include "ombrix.h"
#include "surface.h"
#include "ui_console.h"
#include "world.h"
#include "world_edit.h"
#include "world_index.h"

// ==== Helpers ==============================================================

namespace {

const f32 kHeightStep = 0.125f;
// After the textured walls, T offers these colour walls.
const u32 kWallColours[] = {0xFFB04030, 0xFF40A050, 0xFF4060C0, 0xFFC0C0C0};
const reg kWallColourCount = sizeof kWallColours / sizeof kWallColours[0];

// Indices in lines: no world holds more than 65536 of anything.
unsigned n(reg v) { return (unsigned)v; }
const char* plural(reg v) { return v == 1 ? "" : "s"; }

bool in_editor() { return gameState == EDITOR || gameState == EDITOR_PREVIEW; }
bool drawing(const RV_Editor_Data* d) { return (d->flag & RV_EDITOR_DRAWING) != 0; }

// What edits build walls, floors and ceilings from, and turn portals into.
OM_EditStyle edit_style() {
  OM_Surface* flat = world_texture(world, "TEX_FCONCRETE");
  return {world_texture(world, "TEX_WWHITEWASH"), flat, flat};
}

OM_WorldEdge* selected_edge(const RV_Editor_Data* d) {
  if (!(d->flag & RV_EDITOR_EDGE_SELECTED)) return nullptr;
  return world_edge(world, d->selectedSector, d->selectedEdge);
}

// ==== Drawing mode =========================================================

reg corner_count(const RV_Editor_Data* d) {
  return drawing(d) && d->corners ? d->corners->length : 0;
}
OM_Corner* corner(const RV_Editor_Data* d, reg k) {
  return static_cast<OM_Corner*>(d->corners->data) + k;
}
// Where a corner stands now: a vertex may have been dragged since (the map
// keeps its mouse edits in gameplay).
OM_WorldVertex corner_at(const RV_Editor_Data* d, reg k) {
  const OM_Corner* c = corner(d, k);
  const OM_WorldVertex* v = c->vertex == OM_NEW_VERTEX ? nullptr : world_vertex(world, c->vertex);
  return v ? *v : OM_WorldVertex{c->x, c->y};
}

void end_drawing(RV_Editor_Data* d) {
  d->flag &= ~RV_EDITOR_DRAWING;
  if (d->corners) d->corners->length = 0;
  d->drawnSplits = 0;
  d->splitStep = 0;
}

// Whether the step that holds this drawing's splits is still the last one:
// then further splits and the sector itself belong to it.
bool split_step_on_top(const RV_Editor_Data* d) {
  return d->splitStep != 0 && d->splitStep == d->lastStep;
}

// Where a click at viewport pixel (px, py) puts the next corner.
struct Target {
  enum Kind { kCorner, kVertex, kEdge, kPoint } kind;
  reg index;         // kCorner: the corner; kVertex: the vertex
  reg sector, edge;  // kEdge: the edge split at (x, y)
  f32 x, y;
};

// The corner on edge `k` of sector `s` at parameter t of the point (x, y):
// its end vertex when the point falls on an end.
Target on_edge(reg s, reg k, f32 t, f32 x, f32 y) {
  const OM_WorldEdge* e = world_edge(world, s, k);
  const OM_WorldVertex* a = world_vertex(world, e->v1);
  const OM_WorldVertex* b = world_vertex(world, e->v2);
  OM_WorldVertex p = {x, y};
  if (t <= 0.0f || OM_SamePoint(p, *a)) return {Target::kVertex, e->v1, 0, 0, a->x, a->y};
  if (t >= 1.0f || OM_SamePoint(p, *b)) return {Target::kVertex, e->v2, 0, 0, b->x, b->y};
  return {Target::kEdge, 0, s, k, x, y};
}

// The vertices that may lie in the box, in index order; null when every
// vertex must be tried. `slack` covers the rounding of the caller's test.
const u32* vertices_near(f32 x0, f32 y0, f32 x1, f32 y1, reg* count) {
  if (!mapCulling) return nullptr;
  const f32 slack = 0x1p-16f * (fmaxf(fabsf(x0), fabsf(x1)) + fmaxf(fabsf(y0), fabsf(y1)) + 1.0f);
  return world_vertices_in(world, {x0 - slack, y0 - slack, x1 + slack, y1 + slack}, count);
}

// The sectors that can have an edge within the edge reach of viewport pixel
// (px, py) as the map draws it, or within 1e-4 of the map point (sx, sy), in
// index order; null when every sector must be tried. The reach is widened by
// the f32 rounding of the distance test, which grows with the coordinates.
const u32* sectors_near(OM_Widget* view, RV_Editor_Data* d, int px, int py, f32 sx, f32 sy,
                        reg* count) {
  if (!mapCulling) return nullptr;
  const f64 z = d->camera.object.z, widest = world_indexed_sector_size(world);
  const f64 span = 2.0 * widest * fmax(view->w / z, view->h / z);
  if (!(span <= 0x1p22)) return nullptr;
  const f64 reach =
      RV_EDITOR_EDGE_HIT_PIXELS + 2.0 + 0x1p-20 * (span + view->w + view->h + abs(px) + abs(py));
  OM_WorldBox a;
  if (!RV_Editor_Viewport_MapArea(view, &d->camera, (f32)(px - reach), (f32)(py - reach),
                                  (f32)(px + reach), (f32)(py + reach), &a))
    return nullptr;
  const f32 r = (f32)(1e-4 + 0x1p-18 * (fabs(sx) + fabs(sy) + widest + 1.0));
  const OM_WorldBox both = {fminf(a.x0, sx - r), fminf(a.y0, sy - r), fmaxf(a.x1, sx + r),
                            fmaxf(a.y1, sy + r)};
  return world_sectors_in(world, both, count);
}

// In this order: a corner of the outline, an existing vertex (both within
// the pick box), an edge within a few pixels on screen (split at the foot of
// the snapped point), and otherwise the snapped point itself, unless it
// lands exactly on a vertex or an edge. Drawn every frame while drawing, so
// it asks the index for what lies near the pointer.
Target resolve(OM_Widget* view, RV_Editor_Data* d, int px, int py) {
  f32 mx = (f32)px, my = (f32)py;
  RV_Editor_Viewport_ScreenToViewport(view, &d->camera, &mx, &my);
  reg corners = corner_count(d);
  for (reg k = 0; k < corners; ++k) {
    OM_WorldVertex c = corner_at(d, k);
    if (RV_Editor_InPickBox(c.x, c.y, mx, my)) return {Target::kCorner, k, 0, 0, c.x, c.y};
  }
  reg vertices = world_vertex_count(world), listed = 0;
  const u32* near = vertices_near(mx - RV_EDITOR_VERTEX_PICK, my - RV_EDITOR_VERTEX_PICK,
                                  mx + RV_EDITOR_VERTEX_PICK, my + RV_EDITOR_VERTEX_PICK, &listed);
  for (reg k = 0; k < (near ? listed : vertices); ++k) {
    const reg i = near ? near[k] : k;
    const OM_WorldVertex* v = world_vertex(world, i);
    if (RV_Editor_InPickBox(v->x, v->y, mx, my)) return {Target::kVertex, i, 0, 0, v->x, v->y};
  }
  f32 sx = mx, sy = my;
  if (!keyboard.keys[OM_KEY_SHIFT])
    OM_SnapToGrid(&sx, &sy, RV_EDITOR_SNAP_STEP, RV_EDITOR_SNAP_STEP);
  sx += 0.0f;  // a snapped -0.2 is -0, which a file would show as "-0"
  sy += 0.0f;

  const f32 reach2 = RV_EDITOR_EDGE_HIT_PIXELS * RV_EDITOR_EDGE_HIT_PIXELS;
  f32 best = 0.0f;
  reg bestSector = 0, bestEdge = 0;
  bool hit = false, exact = false;
  reg sectors = world_sector_count(world);
  near = sectors_near(view, d, px, py, sx, sy, &listed);
  for (reg n = 0; n < (near ? listed : sectors); ++n) {
    const reg s = near ? near[n] : n;
    const OM_WorldSector* sector = world_sector(world, s);
    reg edges = sector_edge_count(sector);
    for (reg k = 0; k < edges; ++k) {
      const OM_WorldEdge* e = sector_edge(sector, k);
      const OM_WorldVertex* a = world_vertex(world, e->v1);
      const OM_WorldVertex* b = world_vertex(world, e->v2);
      if (!a || !b) continue;
      f32 ax = a->x, ay = a->y, bx = b->x, by = b->y, t;
      RV_Editor_Viewport_ViewportToScreen(view, &d->camera, &ax, &ay);
      RV_Editor_Viewport_ViewportToScreen(view, &d->camera, &bx, &by);
      f32 d2 = OM_SegmentDistance2((f32)px, (f32)py, ax, ay, bx, by, &t);
      if (d2 <= reach2 && (!hit || d2 < best)) {
        hit = true;
        best = d2;
        bestSector = s;
        bestEdge = k;
      }
      // The snapped point itself lying on an edge splits it there too.
      if (!hit && !exact && OM_SegmentDistance2(sx, sy, a->x, a->y, b->x, b->y, &t) < 1e-8f) {
        exact = true;
        bestSector = s;
        bestEdge = k;
      }
    }
  }
  if (hit || exact) {
    const OM_WorldEdge* e = world_edge(world, bestSector, bestEdge);
    const OM_WorldVertex* a = world_vertex(world, e->v1);
    const OM_WorldVertex* b = world_vertex(world, e->v2);
    f32 t;
    OM_SegmentDistance2(sx, sy, a->x, a->y, b->x, b->y, &t);
    return on_edge(bestSector, bestEdge, t, a->x + t * (b->x - a->x), a->y + t * (b->y - a->y));
  }
  OM_WorldVertex p = {sx, sy};
  for (reg k = 0; k < corners; ++k)
    if (OM_SamePoint(corner_at(d, k), p)) return {Target::kCorner, k, 0, 0, sx, sy};
  near = mapCulling ? world_vertices_in(world, {sx, sy, sx, sy}, &listed) : nullptr;
  for (reg k = 0; k < (near ? listed : vertices); ++k) {
    const reg i = near ? near[k] : k;
    if (OM_SamePoint(*world_vertex(world, i), p)) return {Target::kVertex, i, 0, 0, sx, sy};
  }
  return {Target::kPoint, 0, 0, 0, sx, sy};
}

// Why a corner at p cannot come next: it repeats a corner, or its edge from
// the last corner would cross the outline or run back along the last edge.
// Null when it can. The closing edge is judged when the outline closes.
const char* next_corner_fault(const RV_Editor_Data* d, OM_WorldVertex p) {
  reg count = corner_count(d);
  for (reg k = 0; k < count; ++k)
    if (OM_SamePoint(corner_at(d, k), p)) return "that corner is already in the outline";
  if (count < 2) return nullptr;
  OM_WorldVertex last = corner_at(d, count - 1);
  for (reg k = 0; k + 1 < count; ++k) {
    OM_WorldVertex a = corner_at(d, k), b = corner_at(d, k + 1);
    if (k + 2 == count) {  // the last edge: they share `last`
      if (OM_Orient(a, last, p) == 0 && (OM_Between(a, last, p) || OM_Between(last, p, a)))
        return "its edge would run back along the last one";
    } else if (OM_SegmentsMeet(last, p, a, b)) {
      return "its edge would cross the outline";
    }
  }
  return nullptr;
}

// A point inside the new sector's outline (stored in outline order): the
// centre of the first corner triangle whose centre lies inside.
bool inside_point(const OM_WorldSector* s, OM_WorldVertex* inside) {
  reg count = sector_edge_count(s);
  auto at = [&](reg k) { return *world_vertex(world, sector_edge(s, k % count)->v1); };
  for (reg k = 0; k < count; ++k) {
    OM_WorldVertex a = at(k + count - 1), b = at(k), c = at(k + 1);
    OM_WorldVertex m = {(a.x + b.x + c.x) / 3.0f, (a.y + b.y + c.y) / 3.0f};
    bool in = false;  // even-odd rule
    for (reg j = 0; j < count; ++j) {
      OM_WorldVertex p = at(j), q = at(j + 1);
      if ((p.y > m.y) != (q.y > m.y) && m.x < p.x + (m.y - p.y) / (q.y - p.y) * (q.x - p.x))
        in = !in;
    }
    if (in) {
      *inside = m;
      return true;
    }
  }
  return false;
}

// The sector whose heights a new one takes: the first it is joined to, else
// the one it was drawn inside; null for neither.
const OM_WorldSector* height_source(reg made) {
  const OM_WorldSector* s = world_sector(world, made);
  reg count = sector_edge_count(s);
  for (reg k = 0; k < count; ++k) {
    const OM_WorldEdge* e = sector_edge(s, k);
    if (e->type == OM_EDGE_PORTAL && e->portal_sector != made)
      return world_sector(world, e->portal_sector);
  }
  OM_WorldVertex p;
  if (!inside_point(s, &p)) return nullptr;
  const OM_WorldSector* around = get_sector_at(world, p.x, p.y);
  return around != s ? around : nullptr;
}

void close_drawing(RV_Editor_Data* d) {
  reg count = corner_count(d);
  if (count < 3) {
    OM_PrintFormat("The outline needs three corners to close: it has %u", n(count));
    return;
  }
  for (reg k = 0; k < count; ++k) {  // existing vertices where they now stand
    OM_WorldVertex p = corner_at(d, k);
    corner(d, k)->x = p.x;
    corner(d, k)->y = p.y;
  }
  char why[160];
  if (!world_outline_ok(corner(d, 0), count, why, sizeof why)) {
    OM_PrintFormat("The outline cannot close: %s", why);
    return;
  }
  RV_Editor_Edit e =
      RV_Editor_BeginEdit(d, split_step_on_top(d) ? RV_EDIT_JOIN : RV_EDIT_RECORD, 0);
  OM_EditStyle style = edit_style();
  reg made = 0, portals = 0;
  if (!world_add_sector(world, corner(d, 0), count, 0.0f, 1.0f, &style, &made, &portals, why,
                        sizeof why)) {
    RV_Editor_AbandonEdit(d, e);
    OM_PrintFormat("The sector cannot be made: %s", why);
    return;
  }
  OM_WorldSector* s = world_sector(world, made);
  if (const OM_WorldSector* from = height_source(made)) {
    s->floorHeight = from->floorHeight;
    s->ceilingHeight = from->ceilingHeight;
  }
  end_drawing(d);
  RV_Editor_CommitEdit(d, e, RV_EDIT_RESHAPED);
  OM_PrintFormat("Sector %u made: %u corners, %u portal%s, floor %g, ceiling %g%s", n(made),
                 n(count), n(portals), plural(portals), s->floorHeight, s->ceilingHeight,
                 RV_Editor_UndoNote(d, e));
}

void cancel_drawing(RV_Editor_Data* d) {
  int splits = d->drawnSplits;
  bool undone = false;
  if (split_step_on_top(d)) {
    RV_Editor_Edit e = RV_Editor_BeginEdit(d, RV_EDIT_HISTORY, 0);
    undone = history_cancel(d->history, world);
    if (undone) RV_Editor_CommitEdit(d, e, RV_EDIT_RESHAPED);
  }
  end_drawing(d);
  if (splits == 0) {
    OM_PrintFormat("Drawing cancelled");
  } else if (undone) {
    OM_PrintFormat("Drawing cancelled; the %d edge split%s it made are undone", splits,
                   plural(splits));
  } else {
    OM_PrintFormat("Drawing cancelled; its %d edge split%s stay (Ctrl+Z takes them back)", splits,
                   plural(splits));
  }
}

void start_drawing(RV_Editor_Data* d) {
  if (drawing(d)) {
    OM_PrintFormat(
        "Already drawing: click corners; Enter closes, Backspace takes one back, Escape cancels");
    return;
  }
  if (!d->corners) d->corners = OM_CreateCollection(8, sizeof(OM_Corner));
  if (!d->corners) {
    OM_PrintFormat("Cannot draw: out of memory");
    return;
  }
  end_drawing(d);
  d->flag |= RV_EDITOR_DRAWING;
  d->flag &= ~RV_EDITOR_LINE_DRAGGED;
  OM_PrintFormat("Drawing a sector: click its corners; the first corner again or Enter closes it");
}

void take_back_corner(RV_Editor_Data* d) {
  reg count = corner_count(d);
  if (!drawing(d)) {
    OM_PrintFormat("Backspace takes back the last corner of a drawing: Insert starts one");
  } else if (count == 0) {
    OM_PrintFormat("The drawing has no corner to take back: Escape leaves drawing mode");
  } else {
    d->corners->length = count - 1;
    OM_PrintFormat("Corner %u taken back", n(count));
  }
}

// A corner of the outline clicked again: the first closes it, the one just
// added ignores the second press of its double-click, any other is refused.
void corner_clicked(RV_Editor_Data* d, reg k, int clicks) {
  reg count = corner_count(d);
  if (k + 1 == count && clicks > 1) return;
  if (k == 0 && count >= 3) {
    close_drawing(d);
  } else if (k == 0) {
    OM_PrintFormat("The outline needs three corners to close: it has %u", n(count));
  } else {
    OM_PrintFormat("Corner %u refused: it is corner %u again", n(count + 1), n(k + 1));
  }
}

// Splits the edge a corner lands on, as part of the drawing's one step.
bool split_for_corner(RV_Editor_Data* d, const Target& t, reg* vertex) {
  RV_Editor_Edit e =
      RV_Editor_BeginEdit(d, split_step_on_top(d) ? RV_EDIT_JOIN : RV_EDIT_RECORD, 0);
  if (e.undo == RV_EDIT_RECORD && e.recorded) d->splitStep = d->lastStep;
  if (!RV_Editor_SplitEdge(t.sector, t.edge, t.x, t.y, vertex)) {
    if (RV_Editor_AbandonEdit(d, e)) d->splitStep = 0;
    return false;
  }
  RV_Editor_CommitEdit(d, e, RV_EDIT_IN_PLACE);
  d->drawnSplits += 1;
  return true;
}

// A line between two viewport points, first cut to the surface so that a
// far-away end costs nothing.
void clipped_line(OM_Surface* s, f32 x0, f32 y0, f32 x1, f32 y1, u32 color) {
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return;
  f32 dx = x1 - x0, dy = y1 - y0, t0 = 0.0f, t1 = 1.0f;
  const f32 p[4] = {-dx, dx, -dy, dy};
  const f32 q[4] = {x0 + 1.0f, (f32)s->w - x0, y0 + 1.0f, (f32)s->h - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0f) {
      if (q[i] < 0.0f) return;
      continue;
    }
    f32 r = q[i] / p[i];
    if (p[i] < 0.0f) {
      if (r > t1) return;
      if (r > t0) t0 = r;
    } else {
      if (r < t0) return;
      if (r < t1) t1 = r;
    }
  }
  OM_DrawLine(s, OM_TruncPixel(x0 + t0 * dx), OM_TruncPixel(y0 + t0 * dy),
              OM_TruncPixel(x0 + t1 * dx), OM_TruncPixel(y0 + t1 * dy), color);
}

void to_view(OM_Widget* view, RV_Editor_Data* d, OM_WorldVertex p, f32* x, f32* y) {
  *x = p.x;
  *y = p.y;
  RV_Editor_Viewport_ViewportToScreen(view, &d->camera, x, y);
}

void draw_mark(OM_Widget* view, OM_Surface* s, RV_Editor_Data* d) {
  RV_Editor_EdgeAt at;
  if (!(d->flag & RV_EDITOR_EDGE_MARKED) || !RV_Editor_EdgeEnds(d->markSector, d->markEdge, &at))
    return;
  f32 x0, y0, x1, y1;
  to_view(view, d, at.a, &x0, &y0);
  to_view(view, d, at.b, &x1, &y1);
  // Three pixels wide, so that it stands out from the outlines.
  for (int k = -1; k <= 1; ++k)
    clipped_line(s, x0 + (f32)k, y0 + (f32)k, x1 + (f32)k, y1 + (f32)k, RV_EDITOR_MARK_COLOR);
}

void draw_outline(OM_Widget* view, OM_Surface* s, RV_Editor_Data* d) {
  const u32 color = RV_EDITOR_DRAWING_COLOR;
  reg count = corner_count(d);
  f32 px = 0.0f, py = 0.0f;
  for (reg k = 0; k < count; ++k) {
    f32 x, y;
    to_view(view, d, corner_at(d, k), &x, &y);
    if (k > 0) clipped_line(s, px, py, x, y, color);
    int cx = OM_TruncPixel(x), cy = OM_TruncPixel(y);
    if (k == 0) {  // a ring: clicking here closes the outline
      OM_DrawRect(s, cx - 6, cy - 6, cx + 6, cy + 6, color);
    } else {
      OM_FillRect(s, cx - 3, cy - 3, cx + 3, cy + 3, color);
    }
    px = x;
    py = y;
  }
  if (!d->pointerSeen) return;
  Target t = resolve(view, d, d->pointerX, d->pointerY);
  f32 x, y;
  to_view(view, d, {t.x, t.y}, &x, &y);
  if (count > 0) clipped_line(s, px, py, x, y, color);
  int cx = OM_TruncPixel(x), cy = OM_TruncPixel(y);
  OM_DrawRect(s, cx - 3, cy - 3, cx + 3, cy + 3, color);
}

// ==== Commands =============================================================

bool refused_while_drawing(const RV_Editor_Data* d) {
  if (!drawing(d)) return false;
  OM_PrintFormat("Finish the drawing first: Enter closes the outline, Escape cancels it");
  return true;
}

void delete_vertex(RV_Editor_Data* d) {
  if (!(d->flag & RV_EDITOR_VERTEX_SELECTED) || !world_vertex(world, d->selectedVertex)) {
    OM_PrintFormat(
        "Select a vertex first: Delete removes it (Shift+Delete removes the selected sector)");
    return;
  }
  reg v = d->selectedVertex;
  // The vertex goes: no other takes its selection.
  RV_Editor_Edit e = RV_Editor_BeginEdit(d, RV_EDIT_RECORD, RV_EDITOR_VERTEX_SELECTED);
  OM_EditStyle style = edit_style();
  reg removed = 0;
  char why[160];
  if (!world_delete_vertex(world, v, &style, &removed, why, sizeof why)) {
    RV_Editor_AbandonEdit(d, e);
    OM_PrintFormat("Vertex %u cannot be deleted: %s", n(v), why);
    return;
  }
  RV_Editor_CommitEdit(d, e, RV_EDIT_RESHAPED);
  if (removed == 0) {
    OM_PrintFormat("Vertex %u deleted%s", n(v), RV_Editor_UndoNote(d, e));
  } else {
    OM_PrintFormat("Vertex %u deleted, and %u sector%s left with fewer than three corners%s", n(v),
                   n(removed), plural(removed), RV_Editor_UndoNote(d, e));
  }
}

void delete_sector(RV_Editor_Data* d) {
  reg s = d->selectedSector;
  if (!world_sector(world, s)) {
    OM_PrintFormat("There is no sector to delete");
    return;
  }
  RV_Editor_Edit e = RV_Editor_BeginEdit(d, RV_EDIT_RECORD, 0);
  OM_EditStyle style = edit_style();
  char why[160];
  if (!world_delete_sector(world, s, &style, why, sizeof why)) {
    RV_Editor_AbandonEdit(d, e);
    OM_PrintFormat("Sector %u cannot be deleted: %s", n(s), why);
    return;
  }
  RV_Editor_CommitEdit(d, e, RV_EDIT_RESHAPED);
  OM_PrintFormat("Sector %u deleted; portals into it are walls now%s", n(s),
                 RV_Editor_UndoNote(d, e));
}

void change_height(RV_Editor_Data* d, bool ceiling, f32 by) {
  OM_WorldSector* s = world_sector(world, d->selectedSector);
  if (!s) {
    OM_PrintFormat("There is no sector to raise or lower");
    return;
  }
  f32 floor = s->floorHeight + (ceiling ? 0.0f : by);
  f32 top = s->ceilingHeight + (ceiling ? by : 0.0f);
  if (floor > top) {
    if (ceiling) {
      OM_PrintFormat("Sector %u: the ceiling cannot go below the floor (%g)", n(d->selectedSector),
                     floor);
    } else {
      OM_PrintFormat("Sector %u: the floor cannot rise above the ceiling (%g)",
                     n(d->selectedSector), top);
    }
    return;
  }
  RV_Editor_Edit e = RV_Editor_BeginEdit(d, RV_EDIT_RECORD, 0);
  s = world_sector(world, d->selectedSector);
  s->floorHeight = floor;
  s->ceilingHeight = top;
  RV_Editor_CommitEdit(d, e, RV_EDIT_IN_PLACE);
  OM_PrintFormat("Sector %u: floor %g, ceiling %g%s", n(d->selectedSector), floor, top,
                 RV_Editor_UndoNote(d, e));
}

// The texture table as T, F and C go through it: the built-in textures,
// then the world's own images (hidden ones skipped). T's walls take only
// the built-ins meant for walls, and every image.
bool wall_slot(reg slot) {
  return slot >= OM_WORLD_TEXTURE_COUNT || strncmp(OM_worldTextureNames[slot], "TEX_W", 5) == 0;
}
// The shown slot after `from` (from the first when `from` is past the end);
// world_texture_slots when there is none.
reg following(reg from, bool walls) {
  const reg slots = world_texture_slots(world);
  for (reg s = from >= slots ? 0 : from + 1; s < slots; s++)
    if (world_slot_name(world, s) && (!walls || wall_slot(s))) return s;
  return slots;
}

// F and C: the next texture of the table, round and round.
void cycle_flat(RV_Editor_Data* d, bool ceiling) {
  OM_WorldSector* s = world_sector(world, d->selectedSector);
  if (!s) {
    OM_PrintFormat("There is no sector to texture");
    return;
  }
  const reg slots = world_texture_slots(world);
  reg next = following(
      world_texture_slot(world,
                         world_texture_name(world, ceiling ? s->ceilingTexture : s->floorTexture)),
      false);
  if (next == slots) next = following(slots, false);
  OM_Surface* texture = world_slot_texture(world, next);
  RV_Editor_Edit e = RV_Editor_BeginEdit(d, RV_EDIT_RECORD, 0);
  s = world_sector(world, d->selectedSector);
  (ceiling ? s->ceilingTexture : s->floorTexture) = texture;
  RV_Editor_CommitEdit(d, e, RV_EDIT_IN_PLACE);
  OM_PrintFormat("Sector %u %s: %s%s", n(d->selectedSector), ceiling ? "ceiling" : "floor",
                 world_slot_name(world, next), RV_Editor_UndoNote(d, e));
}

// T on a portal: the faces of the steps seen through it (heights mode) take
// each texture in turn, then the floor or ceiling they continue again.
void cycle_step(RV_Editor_Data* d, unsigned sector, unsigned edge) {
  const reg slots = world_texture_slots(world);
  const u16 now = selected_edge(d)->portal_step;
  const reg slot = following(now ? now - 1u : slots, false);
  const u16 next = slot < slots ? u16(slot + 1) : 0;
  if (next) world_slot_texture(world, slot);  // decoded for the renderer
  RV_Editor_Edit e = RV_Editor_BeginEdit(d, RV_EDIT_RECORD, 0);
  selected_edge(d)->portal_step = next;
  RV_Editor_CommitEdit(d, e, RV_EDIT_IN_PLACE);
  if (next) {
    OM_PrintFormat("Sector %u edge %u: steps seen through the portal drawn with %s%s", sector, edge,
                   world_slot_name(world, slot), RV_Editor_UndoNote(d, e));
  } else {
    OM_PrintFormat(
        "Sector %u edge %u: steps seen through the portal drawn like the floor or ceiling they "
        "continue%s",
        sector, edge, RV_Editor_UndoNote(d, e));
  }
}

// T: a textured wall of each wall texture in turn, then the colour walls;
// on a portal, its step texture.
void cycle_wall(RV_Editor_Data* d) {
  OM_WorldEdge* e = selected_edge(d);
  unsigned sector = n(d->selectedSector), edge = n(d->selectedEdge);
  if (!e) {
    OM_PrintFormat("Select an edge first: T changes its wall");
    return;
  }
  if (e->type == OM_EDGE_PORTAL) {
    cycle_step(d, sector, edge);
    return;
  }
  // Walls are numbered: each texture's slot, then the colours after the
  // table's end.
  const reg slots = world_texture_slots(world);
  reg next = following(slots, true);  // from a wall of no known kind
  if (e->type == OM_EDGE_TEXTURE) {
    reg now = world_texture_slot(world, world_texture_name(world, e->texture));
    if (now < slots) next = following(now, true);
  } else if (e->type == OM_EDGE_COLOR) {
    for (reg k = 0; k < kWallColourCount; ++k)
      if (e->color == kWallColours[k])
        next = k + 1 < kWallColourCount ? slots + k + 1 : following(slots, true);
  }
  OM_Surface* texture = next < slots ? world_slot_texture(world, next) : nullptr;
  RV_Editor_Edit step = RV_Editor_BeginEdit(d, RV_EDIT_RECORD, 0);
  e = selected_edge(d);
  e->texture = nullptr;  // clears the whole payload before a colour takes part of it
  if (next < slots) {
    e->type = OM_EDGE_TEXTURE;
    e->texture = texture;
    OM_PrintFormat("Sector %u edge %u: textured wall %s%s", sector, edge,
                   world_slot_name(world, next), RV_Editor_UndoNote(d, step));
  } else {
    e->type = OM_EDGE_COLOR;
    e->color = kWallColours[next - slots];
    OM_PrintFormat("Sector %u edge %u: colour wall 0x%08X%s", sector, edge, (unsigned)e->color,
                   RV_Editor_UndoNote(d, step));
  }
  RV_Editor_CommitEdit(d, step, RV_EDIT_IN_PLACE);
}

// L: marks the selected edge; on an edge of another sector, links the two.
void link_edges(RV_Editor_Data* d) {
  bool marked = (d->flag & RV_EDITOR_EDGE_MARKED) != 0;
  unsigned ms = n(d->markSector), me = n(d->markEdge);
  unsigned ss = n(d->selectedSector), se = n(d->selectedEdge);
  if (!selected_edge(d)) {
    if (marked) {
      OM_PrintFormat(
          "Sector %u edge %u is marked: select an edge of another sector and press L again", ms,
          me);
    } else {
      OM_PrintFormat(
          "Select an edge first: L marks it, then L on an edge of another sector links the two");
    }
    return;
  }
  if (!marked) {
    d->markSector = d->selectedSector;
    d->markEdge = d->selectedEdge;
    d->flag |= RV_EDITOR_EDGE_MARKED;
    OM_PrintFormat(
        "Sector %u edge %u marked: Ctrl+click into another sector, click an edge, press L", ss, se);
    return;
  }
  if (d->markSector == d->selectedSector && d->markEdge == d->selectedEdge) {
    d->flag &= ~RV_EDITOR_EDGE_MARKED;
    OM_PrintFormat("Mark cleared");
    return;
  }
  // The link uses the mark up.
  RV_Editor_Edit e = RV_Editor_BeginEdit(d, RV_EDIT_RECORD, RV_EDITOR_EDGE_MARKED);
  OM_EditStyle style = edit_style();
  f32 dx = 0.0f, dy = 0.0f;
  char why[160];
  if (!world_link_edges(world, d->markSector, d->markEdge, d->selectedSector, d->selectedEdge,
                        &style, &dx, &dy, why, sizeof why)) {
    RV_Editor_AbandonEdit(d, e);
    OM_PrintFormat("Sector %u edge %u and sector %u edge %u cannot be linked: %s", ms, me, ss, se,
                   why);
    return;
  }
  RV_Editor_CommitEdit(d, e, RV_EDIT_SECTORS_KEPT);
  OM_PrintFormat(
      "Linked sector %u edge %u and sector %u edge %u: going through moves a traveller by "
      "(%g, %g)%s",
      ms, me, ss, se, dx, dy, RV_Editor_UndoNote(d, e));
}

void undo_or_redo(RV_Editor_Data* d, bool redo) {
  const char* what = redo ? "redo" : "undo";
  if (!d->history) {
    OM_PrintFormat("Cannot %s: the editor has no undo memory", what);
    return;
  }
  if ((redo ? history_redo_steps(d->history) : history_undo_steps(d->history)) == 0) {
    OM_PrintFormat("Nothing to %s", what);
    return;
  }
  RV_Editor_Edit e = RV_Editor_BeginEdit(d, RV_EDIT_HISTORY, 0);
  if (!(redo ? history_redo(d->history, world) : history_undo(d->history, world))) {
    OM_PrintFormat("Cannot %s: out of memory", what);
    return;
  }
  RV_Editor_CommitEdit(d, e, RV_EDIT_RESHAPED);
  OM_PrintFormat("%s: %u step%s left to undo, %u to redo", redo ? "Redone" : "Undone",
                 n(history_undo_steps(d->history)), plural(history_undo_steps(d->history)),
                 n(history_redo_steps(d->history)));
}

void escape(RV_Editor_Data* d) {
  if (drawing(d)) {
    cancel_drawing(d);
  } else if (d->flag & RV_EDITOR_EDGE_MARKED) {
    d->flag &= ~RV_EDITOR_EDGE_MARKED;
    OM_PrintFormat("Mark cleared");
  } else {
    OM_PrintFormat("Nothing to cancel: Escape ends a drawing or clears the mark");
  }
}

}  // namespace

// ==== Keys =================================================================

void RV_Editor_KeyDown(int key) {
  RV_Editor_Data* d = OM_editor ? static_cast<RV_Editor_Data*>(OM_editor->data) : nullptr;
  if (!d || !in_editor()) return;
  const bool ctrl = keyboard.keys[OM_KEY_CTRL] != 0, shift = keyboard.keys[OM_KEY_SHIFT] != 0;
  // With Ctrl held only undo and redo are ours: Ctrl+S and Ctrl+O belong to
  // the game core, and the letters stay free for its shortcuts.
  bool ours = ctrl ? key == OM_KEY_Z || key == OM_KEY_Y : false;
  switch (ctrl ? 0 : key) {
    case OM_KEY_INSERT:
    case OM_KEY_ENTER:
    case OM_KEY_BACKSPACE:
    case OM_KEY_ESCAPE:
    case OM_KEY_DELETE:
    case OM_KEY_PAGE_UP:
    case OM_KEY_PAGE_DOWN:
    case OM_KEY_T:
    case OM_KEY_F:
    case OM_KEY_C:
    case OM_KEY_L: ours = true; break;
    default: break;
  }
  if (!ours) return;
  if (!world) {
    OM_PrintFormat("There is no world to edit");
    return;
  }
  // A replaced world takes the history, the drawing and the mark with it;
  // a drag still held ends here, as one step before this command's.
  if (d->world != world) RV_Editor_WorldChanged(d);
  if (d->selectedSector >= world_sector_count(world)) d->selectedSector = 0;
  RV_Editor_StepClose(d);

  if (ctrl) {
    if (!refused_while_drawing(d)) undo_or_redo(d, key == OM_KEY_Y || shift);
    return;
  }
  switch (key) {
    case OM_KEY_INSERT: start_drawing(d); return;
    case OM_KEY_ENTER:
      if (drawing(d)) {
        close_drawing(d);
      } else {
        OM_PrintFormat("Enter closes a drawn outline: Insert starts one");
      }
      return;
    case OM_KEY_BACKSPACE: take_back_corner(d); return;
    case OM_KEY_ESCAPE: escape(d); return;
    default: break;
  }
  if (refused_while_drawing(d)) return;
  switch (key) {
    case OM_KEY_DELETE: shift ? delete_sector(d) : delete_vertex(d); return;
    case OM_KEY_PAGE_UP: change_height(d, shift, kHeightStep); return;
    case OM_KEY_PAGE_DOWN: change_height(d, shift, -kHeightStep); return;
    case OM_KEY_T: cycle_wall(d); return;
    case OM_KEY_F: cycle_flat(d, false); return;
    case OM_KEY_C: cycle_flat(d, true); return;
    case OM_KEY_L: link_edges(d); return;
    default: return;
  }
}

// ==== Map calls ===========================================================
// The map viewport hands the drawing its presses and pointer moves, and
// draws its overlay.

bool RV_Editor_DrawingPress(OM_Widget* view, RV_Editor_Data* d, const OM_Mouse* m) {
  if (!drawing(d) || !in_editor()) return false;
  if (m->buttons != OM_LMB || !world) return true;
  d->pointerX = m->x;
  d->pointerY = m->y;
  d->pointerSeen = 1;
  Target t = resolve(view, d, m->x, m->y);
  reg count = corner_count(d);
  for (reg k = 0; t.kind == Target::kVertex && k < count; ++k) {
    if (corner(d, k)->vertex == t.index) {
      t.kind = Target::kCorner;
      t.index = k;
    }
  }
  if (t.kind == Target::kCorner) {
    corner_clicked(d, t.index, m->clicks);
    return true;
  }
  OM_WorldVertex p = {t.x, t.y};
  if (const char* fault = next_corner_fault(d, p)) {
    OM_PrintFormat("Corner %u refused: %s", n(count + 1), fault);
    return true;
  }
  OM_Corner c = {t.kind == Target::kVertex ? t.index : OM_NEW_VERTEX, t.x, t.y};
  if (t.kind == Target::kEdge && !split_for_corner(d, t, &c.vertex)) return true;
  OM_Collection_Push(d->corners, &c);
  if (corner_count(d) != count + 1) {
    OM_PrintFormat("Corner %u refused: out of memory", n(count + 1));
  } else if (t.kind == Target::kEdge) {
    OM_PrintFormat("Corner %u at (%g, %g): sector %u edge %u split there", n(count + 1), t.x, t.y,
                   n(t.sector), n(t.edge));
  } else if (t.kind == Target::kVertex) {
    OM_PrintFormat("Corner %u at vertex %u (%g, %g)", n(count + 1), n(t.index), t.x, t.y);
  } else {
    OM_PrintFormat("Corner %u at (%g, %g)", n(count + 1), t.x, t.y);
  }
  return true;
}

bool RV_Editor_DrawingPointer(RV_Editor_Data* d, const OM_Mouse* m) {
  d->pointerX = m->x;
  d->pointerY = m->y;
  d->pointerSeen = 1;
  return drawing(d) && in_editor();
}

void RV_Editor_DrawOverlay(OM_Widget* view, OM_Surface* surface, RV_Editor_Data* d) {
  if (!world) return;
  draw_mark(view, surface, d);
  if (drawing(d)) draw_outline(view, surface, d);
}

// ==== Editor lifetime ======================================================

void RV_Editor_CommandsCreate(RV_Editor_Data* d) {
  d->history = OM_CreateHistory(RV_EDITOR_HISTORY_BYTES);
}

void RV_Editor_CommandsRelease(RV_Editor_Data* d) {
  if (!d) return;
  OM_DestroyHistory(d->history);
  d->history = nullptr;
  OM_DestroyCollection(d->corners);
  d->corners = nullptr;
}

void RV_Editor_WorldChanged(RV_Editor_Data* d) {
  if (!d) return;
  d->flag &= ~(RV_EDITOR_VERTEX_SELECTED | RV_EDITOR_EDGE_SELECTED | RV_EDITOR_LINE_DRAGGED);
  d->world = world;
  reg sectors = world && world->sectors ? world->sectors->length : 0;
  if (d->selectedSector >= sectors) d->selectedSector = 0;
  if (d->history) history_clear(d->history);
  end_drawing(d);
  d->flag &= ~RV_EDITOR_EDGE_MARKED;
  d->stepOpen = 0;
  d->lastStep = d->belowStep = 0;
}
