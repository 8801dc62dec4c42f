#include "ui_console.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "collection.h"
#include "draw.h"
#include "ombrix.h"
#include "stream.h"
#include "surface.h"

namespace {

class Console : public ::testing::Test {
 protected:
  void SetUp() override { buffer[0] = '\0'; }
  void TearDown() override { buffer[0] = '\0'; }
};

TEST_F(Console, EachPrintAppendsOneLine) {
  OM_Print("world loaded\n");
  OM_Print("");
  OM_Print("100%s %d");
  EXPECT_STREQ(buffer, "world loaded\n\n\n100%s %d\n");
  OM_Print(nullptr);
  EXPECT_STREQ(buffer, "world loaded\n\n\n100%s %d\n\n");
}

TEST_F(Console, FullBufferKeepsWhatFitsAndStaysUsable) {
  std::string line(99, 'x');  // 100 characters with its line feed
  for (int i = 0; i < 20; i++) OM_Print(line.c_str());
  ASSERT_EQ(strlen(buffer), 2000u);
  OM_Print("0123456789012345678901234567890123456789012345678901234567890123456789");
  EXPECT_EQ(strlen(buffer), 2047u);
  EXPECT_EQ(std::string(buffer + 2000), "01234567890123456789012345678901234567890123456");
  EXPECT_EQ(buffer[2047], '\0');
  // Further prints neither write nor move past the end.
  for (int i = 0; i < 50; i++) OM_Print("more");
  EXPECT_EQ(strlen(buffer), 2047u);
  EXPECT_EQ(buffer[2046], '6');
}

TEST_F(Console, AMessageThatExactlyFillsTheBufferDropsOnlyItsLineFeed) {
  std::string first(2000, 'a');
  OM_Print(first.c_str());
  std::string rest(46, 'b');  // 2001 + 46 = 2047: no room for the line feed
  OM_Print(rest.c_str());
  EXPECT_EQ(strlen(buffer), 2047u);
  EXPECT_EQ(buffer[2046], 'b');
  EXPECT_EQ(buffer[2000], '\n');
}

TEST_F(Console, AnOverwrittenTerminatorIsRestoredBeforeAppending) {
  memset(buffer, 'z', sizeof buffer);  // no NUL anywhere
  OM_Print("x");
  EXPECT_EQ(buffer[2047], '\0');
  EXPECT_EQ(strlen(buffer), 2047u);
}

TEST_F(Console, PassesEverythingButDrawToTheBase) {
  OM_Widget proto = OM_Console_Prototype;
  EXPECT_EQ(proto.super, &OM_Widget_Prototype);
  proto.w = 100;
  proto.h = 80;
  OM_Widget* c = OM_CreateWidget(&proto);
  ASSERT_NE(c, nullptr);
  ASSERT_NE(c->childs, nullptr);  // the base's init ran
  EXPECT_EQ(c->data, nullptr);
  OM_Event e{};
  e.type = OM_EVENT_DRAW;  // without a surface: nothing to draw into
  EXPECT_EQ(c->HandleEvent(c, c->super, &e), 0);
  OM_DestroyWidget(c);
}

// Draws a console 640 x 80 at the top of a 640 x 100 parent, through the
// parent's routing as the editor does.
class ConsoleDrawing : public Console {
 protected:
  void SetUp() override {
    Console::SetUp();
    saved_font = OM_font;
    OM_Stream* s = OM_OpenStream("res://FNT_IBM", OM_STREAM_READ);
    ASSERT_NE(s, nullptr);
    font = OM_LoadFont(s);
    OM_ReleaseStream(s);
    ASSERT_NE(font, nullptr);
    OM_font = font;
    fb = OM_CreateSurface(640, 100);
    memset(fb->data, 0, fb->size);
    parent = OM_CreateWidget(&OM_Widget_Prototype);
    OM_Widget proto = OM_Console_Prototype;
    proto.w = 640;
    proto.h = 80;
    console = OM_CreateWidget(&proto);
    OM_Collection_Push(parent->childs, &console);
  }
  void TearDown() override {
    OM_DestroyWidget(console);
    OM_DestroyWidget(parent);
    OM_DestroySurface(fb);
    OM_font = saved_font;
    OM_DestroyFont(font);
    Console::TearDown();
  }
  void draw() {
    OM_Event e{};
    e.type = OM_EVENT_DRAW;
    e.surface = fb;
    parent->HandleEvent(parent, parent->super, &e);
  }
  // Pixels of the given colour in rows y0..y1 - 1.
  int count(int y0, int y1, u32 color) {
    int n = 0;
    for (int y = y0; y < y1; y++)
      for (int x = 0; x < 640; x++) n += fb->data[x + 640 * y] == color;
    return n;
  }
  OM_Font* saved_font = nullptr;
  OM_Font* font = nullptr;
  OM_Surface* fb = nullptr;
  OM_Widget* parent = nullptr;
  OM_Widget* console = nullptr;
};

TEST_F(ConsoleDrawing, ShowsTheTextWhiteOnItsDarkPanel) {
  OM_Print("world loaded\n");
  draw();
  EXPECT_GT(count(0, 8, 0xFFFFFFFF), 0);
  EXPECT_EQ(count(8, 16, 0xFFFFFFFF), 0);  // the empty line after it
  EXPECT_EQ(count(8, 80, 0xFF111111), 640 * 72);
  EXPECT_EQ(count(80, 100, 0), 640 * 20);  // nothing below the console
}

TEST_F(ConsoleDrawing, ElevenLinesShowTheFirstTen) {
  for (int i = 0; i < 11; i++) OM_Print("########");
  draw();
  for (int line = 0; line < 10; line++) EXPECT_GT(count(line * 8, line * 8 + 8, 0xFFFFFFFF), 0);
  EXPECT_EQ(count(80, 100, 0xFFFFFFFF), 0);
}

}  // namespace
