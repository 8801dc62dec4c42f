// The editor shell: the root widget that lays out toolbar, map viewport and
// console, shows the first-person preview, and the small panel widgets.
#include "editor.h"

#include <cstdlib>
#include <cstring>

#include "collection.h"
#include "draw.h"
#include "ombrix.h"
#include "surface.h"
#include "ui_console.h"
#include "world.h"

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

OM_Surface* preview;
int preview_x;
int preview_y;

OM_Widget OM_Editor_Prototype = {
    &OM_Widget_Prototype, RV_Editor_HandleEvent, nullptr, nullptr, 0, 0, 0, 0};
OM_Widget RV_Editor_Toolbar_Prototype = {
    &OM_Widget_Prototype, RV_Editor_Toolbar_HandleEvent, nullptr, nullptr, 0, 0, 0, 0};
OM_Widget RV_Button_Prototype = {
    &OM_Widget_Prototype, RV_Button_HandleEvent, nullptr, nullptr, 0, 0, 0, 0};
OM_Widget RV_Editor_ToolbarButton_Prototype = {
    &RV_Button_Prototype, RV_Editor_ToolbarButton_HandleEvent, nullptr, nullptr, 0, 0, 0, 0};
OM_Widget RV_Editor_Viewport_Prototype = {
    &OM_Widget_Prototype, RV_Editor_Viewport_HandleEvent, nullptr, nullptr, 0, 0, 0, 0};
OM_Widget RV_Menu_Prototype = {
    &OM_Widget_Prototype, RV_Menu_HandleEvent, nullptr, nullptr, 0, 0, 0, 0};
OM_Widget RV_Editor_Sidebar_Prototype = {
    &OM_Widget_Prototype, RV_Editor_Sidebar_HandleEvent, nullptr, nullptr, 0, 0, 0, 0};

enum {
  TOOLBAR_HEIGHT = 16,
  CONSOLE_HEIGHT = 80,
  PREVIEW_WIDTH = 320,
  PREVIEW_HEIGHT = 240,
  PREVIEW_MARGIN = 12,
};

static int pass_to_base(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  return super->HandleEvent(self, super->super, event);
}

static void add_child(OM_Widget* parent, OM_Widget* child) {
  OM_Collection_Push(parent->childs, &child);
}

// The widgets measure and draw text with the program font; without one (a
// widget made before the font is loaded) they keep the 8 x 8 cell and draw
// no text.
static int font_w() { return OM_font ? OM_font->w : 8; }
static int font_h() { return OM_font ? OM_font->h : 8; }
static void draw_text(OM_Surface* surface, const char* text, int x, int y, u32 color) {
  if (OM_font && text) OM_DrawText(surface, text, x, y, OM_font, color);
}

void RV_Editor_WorldChanged(RV_Editor_Data* data) {
  if (!data) return;
  data->flag &= ~(RV_EDITOR_VERTEX_SELECTED | RV_EDITOR_EDGE_SELECTED | RV_EDITOR_LINE_DRAGGED);
  data->world = world;
  reg sectors = world && world->sectors ? world->sectors->length : 0;
  if (data->selectedSector >= sectors) data->selectedSector = 0;
}

static void set_initial_state(RV_Editor_Data* data) {
  memset(data, 0, sizeof *data);
  f32 cx = OM_camera ? OM_camera->object.x : 0.0f;
  f32 cy = OM_camera ? OM_camera->object.y : 0.0f;
  data->camera.object.x = -cx - 8.0f;
  data->camera.object.y = -cy;
  data->camera.object.z = 24.0f;
  data->camera.object.angle = 0.0f;
  data->camera.fov = 0.0f;
  data->camera.view_distance = 2.0f;
  data->flag = 0;
  data->selectedSector = 0;
  data->world = world;
}

static int editor_init(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  int result = pass_to_base(self, super, event);
  // Without a child list the root could neither route nor draw: creation
  // fails instead.
  if (result != 0) return result;

  RV_Editor_Data* data = (RV_Editor_Data*)malloc(sizeof(RV_Editor_Data));
  if (!data) return 1;
  set_initial_state(data);
  self->data = data;

  // The layout stays the same when the toolbar cannot be made: the viewport
  // and the preview are placed below the strip it would have covered.
  int toolbar_y = 0;
  int toolbar_h = TOOLBAR_HEIGHT;
  OM_Widget* toolbar = OM_CreateWidget(&RV_Editor_Toolbar_Prototype);
  if (toolbar) {
    toolbar->w = self->w;
    toolbar->h = TOOLBAR_HEIGHT;
    toolbar_y = toolbar->y;
    toolbar_h = toolbar->h;
    add_child(self, toolbar);
    OM_Widget button = RV_Editor_ToolbarButton_Prototype;
    button.data = (void*)"SAVE";
    OM_Widget* save = OM_CreateWidget(&button);
    if (save) add_child(toolbar, save);
  }

  // One preview surface serves every editor root; a second root reuses it.
  // It starts black: the interlaced renderer fills only half its columns
  // per frame, and the other half must not show whatever memory held.
  if (!preview) {
    preview = OM_CreateSurface(PREVIEW_WIDTH, PREVIEW_HEIGHT);
    if (preview) OM_FillRect(preview, 0, 0, preview->w, preview->h, 0xFF000000);
  }
  preview_x = self->w - PREVIEW_WIDTH - PREVIEW_MARGIN;
  preview_y = toolbar_y + toolbar_h + PREVIEW_MARGIN;

  OM_Widget* viewport = OM_CreateWidget(&RV_Editor_Viewport_Prototype);
  if (viewport) {
    viewport->x = 0;
    viewport->y = toolbar_h;
    viewport->w = self->w;
    viewport->h = self->h - toolbar_h;
    add_child(self, viewport);
  }

  OM_Widget* console = OM_CreateWidget(&OM_Console_Prototype);
  if (console) {
    console->x = 0;
    console->w = self->w;
    console->h = CONSOLE_HEIGHT;
    console->y = self->h - CONSOLE_HEIGHT;
    add_child(self, console);
  }
  return 0;
}

static void draw_preview(OM_Surface* surface) {
  if (!preview) return;
  // The renderer needs the whole game: without it the frame stays as it was.
  if (world && player && OM_camera) draw_game_viewport(preview);
  draw_text(preview, "IN-GAME PREVIEW", 8, 8, 0xFFFFFFFF);
  OM_DrawSurface(surface, preview_x, preview_y, preview_x + preview->w, preview_y + preview->h,
                 preview->data, preview->step);
  draw_bevel_border(surface, preview_x, preview_y, preview->w, preview->h, 4);
}

// The root made the whole tree, so it releases it: grandchildren first.
static void destroy_children(OM_Widget* widget) {
  if (!widget->childs) return;
  OM_Widget** kids = (OM_Widget**)widget->childs->data;
  for (reg i = 0; i < widget->childs->length; ++i) {
    if (!kids[i]) continue;
    destroy_children(kids[i]);
    OM_DestroyWidget(kids[i]);
    kids[i] = nullptr;
  }
}

int RV_Editor_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  switch (event->type) {
    case OM_EVENT_INIT: return editor_init(self, super, event);
    case OM_EVENT_DRAW: {
      OM_Surface* surface = event->surface;
      pass_to_base(self, super, event);
      if (gameState == EDITOR_PREVIEW) draw_preview(surface);
      return 0;
    }
    case OM_EVENT_QUIT:
      destroy_children(self);
      free(self->data);
      self->data = nullptr;
      return pass_to_base(self, super, event);
    default: return pass_to_base(self, super, event);
  }
}

void draw_bevel_border(OM_Surface* surface, int x1, int y1, int x2, int y2, int thickness) {
  const u32 light = 0xFFEEEEEE;
  const u32 dark = 0xFF888888;
  for (int i = 0; i < thickness; ++i) {
    int left = x1 - 1 - i;
    int top = y1 - 1 - i;
    int right = left + x2 + 2 * i;
    int bottom = top + y2 + 2 * i;
    OM_DrawLine(surface, left, top, right, top, light);
    OM_DrawLine(surface, right, top, right, bottom, dark);
    OM_DrawLine(surface, left, bottom, right, bottom, dark);
    OM_DrawLine(surface, left, top, left, bottom, light);
  }
}

int RV_Button_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  const char* label = (const char*)self->data;
  switch (event->type) {
    case OM_EVENT_INIT: {
      // A button without a label is one empty cell wide.
      int length = label ? (int)strlen(label) : 0;
      self->w = font_w() * (length + 1);
      self->h = font_h() * 2;
      return pass_to_base(self, super, event);
    }
    case OM_EVENT_DRAW:
      if (label) {
        OM_FillRect(event->surface, 0, 0, self->w, self->h, 0xFFFF0066);
        draw_text(event->surface, label, font_w() / 2, font_h() / 2, 0xFFFFFFFF);
      }
      pass_to_base(self, super, event);
      return 0;
    default: return pass_to_base(self, super, event);
  }
}

int RV_Editor_ToolbarButton_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  if (event->type == OM_EVENT_DRAW) {
    draw_text(event->surface, (const char*)self->data, font_w() / 2, font_h() / 2, 0xFFFFFFFF);
    return 0;
  }
  return pass_to_base(self, super, event);
}

int RV_Editor_Toolbar_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  if (event->type == OM_EVENT_DRAW) {
    OM_FillRect(event->surface, 0, 0, self->w, self->h - 1, 0xFF111111);
    OM_DrawLine(event->surface, 0, self->h - 1, self->w, self->h - 1, 0xFF222222);
    pass_to_base(self, super, event);
    return 0;
  }
  return pass_to_base(self, super, event);
}

int RV_Menu_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  if (event->type == OM_EVENT_DRAW) {
    OM_FillRect(event->surface, 0, 0, self->w, self->h, 0xFF111111);
    OM_DrawRect(event->surface, 0, 0, self->w - 1, self->h - 1, 0xFF222222);
    pass_to_base(self, super, event);
    return 0;
  }
  return pass_to_base(self, super, event);
}

int RV_Editor_Sidebar_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  if (event->type == OM_EVENT_DRAW) {
    OM_FillRect(event->surface, 0, 0, self->w - 1, self->h, 0xFF090909);
    OM_DrawLine(event->surface, self->w - 1, 0, self->w - 1, self->h, 0xFF191919);
    return 0;
  }
  return pass_to_base(self, super, event);
}
