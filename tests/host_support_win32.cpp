// The Windows host's globals for the test guard (scene_support.h).
#include "scene_support.h"
#include "system.h"

const GlobalSpan kHostGlobals[] = {
    {&event, sizeof event},
    {&fb, sizeof fb},
    {&OM_Host_Target, sizeof OM_Host_Target},
    {&bmi, sizeof bmi},
};
const reg kHostGlobalCount = sizeof kHostGlobals / sizeof kHostGlobals[0];
