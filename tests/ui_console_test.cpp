// The console: appending to its fixed buffer without overrunning it, and drawing the first lines.
#include "ui_console.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "collection.h"
#include "draw.h"
#include "ombrix.h"
#include "scene_support.h"
#include "stream.h"
#include "surface.h"

namespace {

TEST(Console, EachPrintAppendsOneLineAndAFullBufferKeepsWhatFits) {
  SavedGlobals saved;
  buffer[0] = '\0';
  OM_Print("world loaded\n");
  OM_Print("");
  OM_Print("100%s %d");  // text, not a format
  OM_Print(nullptr);
  EXPECT_STREQ(buffer, "world loaded\n\n\n100%s %d\n\n");

  buffer[0] = '\0';
  std::string line(99, 'x');  // 100 characters with its line feed
  for (int i = 0; i < 20; i++) OM_Print(line.c_str());
  ASSERT_EQ(strlen(buffer), 2000u);
  OM_Print("0123456789012345678901234567890123456789012345678901234567890123456789");
  EXPECT_EQ(std::string(buffer + 2000), "01234567890123456789012345678901234567890123456");
  for (int i = 0; i < 50; i++) OM_Print("more");  // neither writes nor moves past the end
  EXPECT_EQ(strlen(buffer), 2047u);
  EXPECT_EQ(buffer[2046], '6');

  // A message that exactly fills the buffer drops only its line feed.
  buffer[0] = '\0';
  OM_Print(std::string(2000, 'a').c_str());
  OM_Print(std::string(46, 'b').c_str());
  EXPECT_EQ(strlen(buffer), 2047u);
  EXPECT_EQ(buffer[2046], 'b');
  EXPECT_EQ(buffer[2000], '\n');

  memset(buffer, 'z', sizeof buffer);  // no terminator anywhere: one is restored
  OM_Print("x");
  EXPECT_EQ(strlen(buffer), 2047u);
}

TEST(Console, TheNewestMessageIsItsLastLineWithTextAndKeepsItsEnd) {
  SavedGlobals saved;
  const std::string longLine = std::string(200, 'a') + std::string(100, 'z');
  const struct {
    const char* printed;
    std::string newest;
  } cases[] = {
      {"world loaded\n", "world loaded"},
      {"", "world loaded"},        // a spacer line replaces nothing
      {"\n\r\n", "world loaded"},  // nor does one of line ends
      {"first\nsecond\n\n", "second"},
      {"100%s", "100%s"},
      {longLine.c_str(), "..." + longLine.substr(longLine.size() - 252)},
  };
  newestMessage[0] = '\0';
  for (const auto& c : cases) {
    OM_Print(c.printed);
    EXPECT_EQ(newestMessage, c.newest) << c.printed;
  }
  // A full console still tells the newest message.
  memset(buffer, 'x', sizeof buffer - 1);
  buffer[sizeof buffer - 1] = '\0';
  OM_Print("after the end");
  EXPECT_STREQ(newestMessage, "after the end");
}

// The console 640 x 80 at the top of a 640 x 100 parent, drawn through the
// parent's routing as the editor does.
TEST(Console, DrawsTheFirstTenLinesWhiteOnItsDarkPanel) {
  SavedGlobals saved;
  OM_Stream* stream = OM_OpenStream("res://FNT_IBM", OM_STREAM_READ);
  OM_font = OM_LoadFont(stream);
  OM_ReleaseStream(stream);
  ASSERT_NE(OM_font, nullptr);
  OM_Surface* fb = OM_CreateSurface(640, 100);
  memset(fb->data, 0, fb->size);
  OM_Widget* parent = OM_CreateWidget(&OM_Widget_Prototype);
  OM_Widget proto = OM_Console_Prototype;
  proto.w = 640;
  proto.h = 80;
  OM_Widget* console = OM_CreateWidget(&proto);
  ASSERT_NE(console, nullptr);
  EXPECT_EQ(console->super, &OM_Widget_Prototype);
  EXPECT_NE(console->childs, nullptr);  // the base's init ran
  OM_Collection_Push(parent->childs, &console);

  buffer[0] = '\0';
  OM_Print("world loaded\n");  // a line of text and an empty one
  for (int i = 0; i < 9; i++) OM_Print("########");
  OM_Event e{};
  e.type = OM_EVENT_DRAW;  // without a surface: nothing to draw into
  EXPECT_EQ(console->HandleEvent(console, console->super, &e), 0);
  e.surface = fb;
  parent->HandleEvent(parent, parent->super, &e);
  auto count = [&](int y0, int y1, u32 color) {
    int n = 0;
    for (int i = 640 * y0; i < 640 * y1; i++) n += fb->data[i] == color;
    return n;
  };
  for (int line = 0; line < 10; line++) {
    EXPECT_EQ(count(line * 8, line * 8 + 8, 0xFFFFFFFF) > 0, line != 1) << line;
  }
  EXPECT_EQ(count(8, 16, 0xFF111111), 640 * 8);
  EXPECT_EQ(count(80, 100, 0), 640 * 20);  // nothing below the console

  OM_DestroyWidget(console);
  OM_DestroyWidget(parent);
  OM_DestroySurface(fb);
  OM_DestroyFont(OM_font);
}

}  // namespace
