// The Linux host's globals for the test guard (scene_support.h).
//
// The host's event record and frame-buffer pointer live beside main() in
// system_linux.cpp, which no test program links: the receiver of the
// events the host translates is all there is to keep.
#include "scene_support.h"
#include "system.h"

const GlobalSpan kHostGlobals[] = {
    {&OM_Host_Target, sizeof OM_Host_Target},
};
const reg kHostGlobalCount = sizeof kHostGlobals / sizeof kHostGlobals[0];
