// Image files dropped on the window become textures of the world: each is
// decoded, kept beside the world file (copied into its textures/ folder
// when it lies elsewhere), added under a name made from its file name, and
// the first is put on the selected edge, or the selected sector's floor.
// The whole drop is one undo step.
#pragma once

#include "types.h"

struct OM_Drop;
struct RV_Editor_Data;

// The folder beside the world file that dropped images are copied into.
inline constexpr char RV_EDITOR_TEXTURE_FOLDER[] = "textures";

// Handles one drop (the editor root's OM_EVENT_FILES_DROPPED); says on the
// console what each file became, or why it did not. Gives the number of
// images added.
int RV_Editor_DropFiles(RV_Editor_Data* data, const OM_Drop* drop);
