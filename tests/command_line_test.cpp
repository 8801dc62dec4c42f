// The command line: options against world-file arguments, the refusal's one
// line, and the help's width.
#include "command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Case {
  std::vector<const char*> args;
  OM_CommandAction action;
  std::vector<const char*> files;  // the world-file arguments, for RUN
  const char* shown = nullptr;     // for REFUSE: the option as the line shows it
};

std::string str(const char* s) { return s ? s : "(null)"; }

TEST(CommandLine, OptionsAndWorldFiles) {
  std::string long_option(62, 'x');
  long_option[0] = long_option[1] = '-';
  const Case cases[] = {
      {{}, OM_COMMAND_RUN, {}},
      {{"my world.world"}, OM_COMMAND_RUN, {"my world.world"}},
      {{"-"}, OM_COMMAND_RUN, {"-"}},
      {{""}, OM_COMMAND_RUN, {""}},
      {{"./-hall.world"}, OM_COMMAND_RUN, {"./-hall.world"}},
      {{"--", "-hall.world"}, OM_COMMAND_RUN, {"-hall.world"}},
      {{"--", "--version"}, OM_COMMAND_RUN, {"--version"}},
      // Left for the core to refuse with its own message, in order.
      {{"a", "--", "b"}, OM_COMMAND_RUN, {"a", "b"}},
      {{nullptr}, OM_COMMAND_RUN, {nullptr}},
      {{"a", nullptr, "b"}, OM_COMMAND_RUN, {"a", nullptr, "b"}},
      {{"a", nullptr, "-b"}, OM_COMMAND_REFUSE, {}, "-b"},
      {{"--version"}, OM_COMMAND_VERSION, {}},
      {{"w.world", "--help"}, OM_COMMAND_HELP, {}},
      {{"-h", "--version"}, OM_COMMAND_HELP, {}},
      {{"--help", "--bogus"}, OM_COMMAND_HELP, {}},
      {{"--bogus", "--help"}, OM_COMMAND_REFUSE, {}, "--bogus"},
      {{"--version=1"}, OM_COMMAND_REFUSE, {}, "--version=1"},
      {{"w.world", "---"}, OM_COMMAND_REFUSE, {}, "---"},
      // A control character would break the one line, or move the cursor.
      {{"--a\nb\x1b[2J\x7f"}, OM_COMMAND_REFUSE, {}, "--a?b?[2J?"},
      {{long_option.c_str()},
       OM_COMMAND_REFUSE,
       {},
       "--xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx..."},
  };
  for (const Case& c : cases) {
    std::string row;
    for (const char* a : c.args) row.append("[").append(str(a)).append("] ");
    const char* sentinel = "untouched";
    std::vector<const char*> files(c.args.size() + 1, sentinel);
    OM_Command got =
        OM_ParseCommandLine(static_cast<int>(c.args.size()), c.args.data(), files.data());
    EXPECT_EQ(got.action, c.action) << row;
    if (c.action == OM_COMMAND_RUN) {
      ASSERT_EQ(got.count, static_cast<int>(c.files.size())) << row;
      for (reg i = 0; i < c.files.size(); i++) EXPECT_EQ(files[i], c.files[i]) << row << i;
    } else {
      EXPECT_EQ(got.count, 0) << row;
    }
    EXPECT_EQ(files[c.args.size()], sentinel) << row;
    if (c.action == OM_COMMAND_REFUSE) {
      EXPECT_EQ(std::string(got.message),
                "ombrix: unknown option '" + std::string(c.shown) + "' (see ombrix --help)\n")
          << row;
    }
  }
}

TEST(CommandLine, HelpFitsAnEightyColumnTerminal) {
  const char* help = OM_CommandLine_Help();
  for (const char* line = help; *line;) {
    const char* end = strchr(line, '\n');
    ASSERT_NE(end, nullptr) << "the help ends without a line end";
    EXPECT_LT(end - line, 80) << std::string(line, end);
    line = end + 1;
  }
}

}  // namespace
