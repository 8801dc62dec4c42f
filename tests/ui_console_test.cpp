#include "ui_console.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "collection.h"

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

}  // namespace
