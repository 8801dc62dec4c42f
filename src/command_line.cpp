// The command line: options, world-file arguments and the texts printed for
// --version and --help.
#include "command_line.h"

#include <cstdio>
#include <cstring>

#ifndef OM_VERSION
#error "the build defines OM_VERSION, the project's version"
#endif

namespace {

// The longest part of an unknown option the refusal repeats: it stays one
// line a terminal can show.
constexpr reg kShownOption = 48;

void refuse(OM_Command* c, const char* option) {
  char shown[kShownOption + 4];
  reg n = 0;
  for (; option[n] && n < kShownOption; n++) {
    // A control character would end the line early or move the cursor.
    unsigned char ch = static_cast<unsigned char>(option[n]);
    shown[n] = ch < 0x20 || ch == 0x7F ? '?' : static_cast<char>(ch);
  }
  if (option[n]) shown[n++] = '.', shown[n++] = '.', shown[n++] = '.';
  shown[n] = '\0';
  c->action = OM_COMMAND_REFUSE;
  snprintf(c->message, sizeof c->message, "ombrix: unknown option '%s' (see ombrix --help)\n",
           shown);
}

}  // namespace

OM_Command OM_ParseCommandLine(int count, const char* const* args, const char** files) {
  OM_Command c = {};
  bool options = true;
  for (int i = 0; i < count; i++) {
    const char* a = args ? args[i] : nullptr;
    if (!options || !a || a[0] != '-' || a[1] == '\0') {
      files[c.count++] = a;
    } else if (strcmp(a, "--") == 0) {
      options = false;
    } else if (strcmp(a, "--help") == 0 || strcmp(a, "-h") == 0) {
      c.action = OM_COMMAND_HELP;
    } else if (strcmp(a, "--version") == 0) {
      c.action = OM_COMMAND_VERSION;
    } else {
      refuse(&c, a);
    }
    if (c.action != OM_COMMAND_RUN) break;
  }
  if (c.action != OM_COMMAND_RUN) c.count = 0;
  return c;
}

const char* OM_CommandLine_Version() { return "ombrix " OM_VERSION "\n"; }

const char* OM_CommandLine_Help() {
  return "Usage: ombrix [WORLD-FILE]\n"
         "       ombrix --help | --version\n"
         "\n"
         "Ombrix is a first-person engine with a built-in map editor. It opens\n"
         "WORLD-FILE, which the first save creates if it does not exist yet. Without\n"
         "one it starts with its built-in world and saves to WORLD_DUMP in the folder\n"
         "it was started in. A name that starts with '-' goes after \"--\" or with\n"
         "its folder: ombrix -- -hall.world, or ombrix ./-hall.world\n"
         "\n"
         "Keys:\n"
         "  Tab             editor, gameplay, editor with the preview\n"
         "  W S / A D / Q E forward and back / turn (strafe in gameplay) / the reverse\n"
         "  Space / Ctrl    rise / sink\n"
         "  Ctrl+S / Ctrl+O save the world / load it again\n"
         "  Ctrl+Z / Ctrl+Y undo / redo\n"
         "  Insert / Enter  draw a room by clicking its corners in the map / close it\n"
         "  Escape          free the pointer in gameplay\n"
         "\n"
         "Options:\n"
         "  -h, --help      print this help and exit\n"
         "      --version   print the version and exit\n"
         "\n";
}
