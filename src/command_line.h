// What the program's command line asks for. Both hosts read it here before
// they hand the world file's name to the core; printing the answer is theirs.
#pragma once

#include "types.h"

enum OM_CommandAction : i32 {
  OM_COMMAND_RUN = 0,      // open the window with the world-file arguments
  OM_COMMAND_VERSION = 1,  // print OM_CommandLine_Version(), exit 0
  OM_COMMAND_HELP = 2,     // print OM_CommandLine_Help() and where the files are, exit 0
  OM_COMMAND_REFUSE = 3,   // print `message` to the error stream, exit 2
};

enum { OM_COMMAND_MESSAGE_SIZE = 160 };  // bytes, the newline and the NUL included

struct OM_Command {
  OM_CommandAction action;
  int count;                              // world-file arguments written to `files`
  char message[OM_COMMAND_MESSAGE_SIZE];  // the refusal: one line, ending in '\n'
};

// Reads the `count` arguments after the program's name. Options may come
// anywhere and the first of --help (-h), --version or an unknown option
// decides. "--" ends the options, so that a file whose name starts with '-'
// can follow it (as can "./-name"); a lone "-" and null (an argument the
// host could not read) are world-file arguments, left to the core to judge.
// `files` has room for `count` entries and receives the world-file
// arguments in order: pointers into `args`.
OM_Command OM_ParseCommandLine(int count, const char* const* args, const char** files);

// "ombrix VERSION\n", the version being the build's.
const char* OM_CommandLine_Version();
// The usage: the world-file argument, the keys that matter most and the
// options. The host adds where the sample world and the README are.
const char* OM_CommandLine_Help();
