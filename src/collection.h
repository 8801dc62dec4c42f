// Growable array of fixed-size elements, copied in by value.
#pragma once

#include "types.h"

struct OM_Collection {
  void* data;
  reg elementSize;
  reg capacity;
  reg length;
};

// Where a collection takes its two blocks: anything that hands out blocks
// free() releases, and null when it cannot.
typedef void* (*OM_Allocator)(reg bytes);

// Null when either block cannot be had or the capacity overflows; a zero
// capacity still gets a valid block.
OM_Collection* OM_CreateCollection(reg initialCapacity, reg elementSize);
// The same, with the blocks taken from `allocate` (the edits count theirs,
// world_edit.h) rather than malloc.
OM_Collection* OM_CreateCollectionFrom(reg initialCapacity, reg elementSize, OM_Allocator allocate);
void OM_DestroyCollection(OM_Collection* collection);
// Appends a copy of elementSize bytes at element. When the storage cannot
// grow the collection is left exactly as it was and the element is dropped.
void OM_Collection_Push(OM_Collection* self, void* element);
