// The test guard over program state: what it puts back, and what start-up's mode leaves alone.
#include "scene_support.h"

#include <gtest/gtest.h>

#include <cstring>

#include "render.h"
#include "system.h"
#include "ui_console.h"
#include "ui_menubar.h"

namespace {

int other_target(OM_Event*) { return 0; }
void no_command() {}

// One global of each kind the guard keeps: a value, a record, an array, a
// pointer, a prototype, a host global, and the menu's heap-held entries.
TEST(SavedGlobals, PutsBackEveryKindOfGlobalAndNests) {
  SavedGlobals outer;
  interlace = 3;
  strcpy(buffer, "before");
  const int before[] = {gameState, keyboard.keys[OM_KEY_W], interlace, draw_portals};
  MENU* file = menubar.entries ? menubar.entries[0].submenu : nullptr;
  ASSERT_NE(file, nullptr);  // the guard builds the menu description
  MENU_Command command = file->entries[0].onclick;
  OM_Widget* editor = OM_editor;
  int (*target)(OM_Event*) = OM_Host_Target;
  {
    SavedGlobals inner;
    gameState = GAMEPLAY;
    keyboard.keys[OM_KEY_W] = 1;
    interlace = 0;
    draw_portals = 7;
    strcpy(buffer, "after");
    file->entries[0].onclick = no_command;
    menubar.active_index = 1;
    OM_editor = nullptr;
    OM_Widget_Prototype.w = 99;
    OM_Host_Target = other_target;
  }
  const int after[] = {gameState, keyboard.keys[OM_KEY_W], interlace, draw_portals};
  EXPECT_EQ(memcmp(before, after, sizeof before), 0);
  EXPECT_STREQ(buffer, "before");
  EXPECT_EQ(file->entries[0].onclick, command);
  EXPECT_EQ(menubar.active_index, -1);
  EXPECT_EQ(OM_editor, editor);
  EXPECT_EQ(OM_Widget_Prototype.w, 0);
  EXPECT_EQ(OM_Host_Target, target);
}

TEST(SavedGlobals, StartUpModeKeepsWhatStartUpMakesForGood) {
  SavedGlobals outer;  // puts the start-up objects back in the end
  OM_Widget fake = {};
  GameState state = gameState;
  {
    SavedGlobals keep{SavedGlobals::kKeepStartUp};
    OM_editor = &fake;
    dummyTexture = nullptr;
    gameState = static_cast<GameState>(state + 1);
  }
  EXPECT_EQ(OM_editor, &fake);
  EXPECT_EQ(dummyTexture, nullptr);
  EXPECT_EQ(gameState, state);
}

}  // namespace
