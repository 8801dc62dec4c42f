// The Linux host's globals for the test guard (scene_support.h).
//
// The host's event record and frame-buffer pointer live beside main() in
// system_linux.cpp, which no test program links: the receiver of the
// events the host translates is all there is to keep.
#include <SDL.h>

#include "scene_support.h"
#include "system.h"

const GlobalSpan kHostGlobals[] = {
    {&OM_Host_Target, sizeof OM_Host_Target},
};
const reg kHostGlobalCount = sizeof kHostGlobals / sizeof kHostGlobals[0];

void HostDrop(const std::vector<std::string>& paths) {
  std::vector<SDL_Event> script(paths.size() + 2);
  script.front().type = SDL_DROPBEGIN;
  for (reg i = 0; i < paths.size(); i++) {
    script[i + 1].type = SDL_DROPFILE;
    script[i + 1].drop.file = SDL_strdup(paths[i].c_str());
  }
  script.back().type = SDL_DROPCOMPLETE;
  OM_HostDrop drop = {};
  OM_Event record = {};
  for (const SDL_Event& e : script)
    if (OM_Host_GatherDrop(&e, &drop)) OM_Host_SendDrop(&record, &drop);
}
