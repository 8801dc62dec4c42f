// The program's embedded resources on Linux: the build turns the resource
// script into a table of named byte blocks linked into the core.
#pragma once

#include "types.h"

struct OM_EmbeddedResource {
  const char* type;  // the script's type word, e.g. "RCDATA" or "ICON"
  const char* name;  // as written there: "FNT_IBM", "32512"
  const u8* data;    // the file's bytes; an ICON holds the whole .ico file
  reg size;
};

// Null when the set has no resource of that type and name. Both are
// compared without regard to case, as Windows does.
const OM_EmbeddedResource* OM_FindEmbeddedResource(const char* type, const char* name);

// Generated from the resource script at build time. A program that links its
// own table (a test set, see om_add_resources) replaces the core's.
extern const OM_EmbeddedResource OM_embeddedResources[];
extern const reg OM_embeddedResourceCount;
