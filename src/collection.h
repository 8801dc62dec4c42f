// Growable array of fixed-size elements, copied in by value.
#pragma once

#include "types.h"

struct OM_Collection {
  void* data;
  reg elementSize;
  reg capacity;
  reg length;
};

OM_Collection* OM_CreateCollection(reg initialCapacity, reg elementSize);
void OM_DestroyCollection(OM_Collection* collection);
// Appends a copy of elementSize bytes at element. When the storage cannot
// grow the collection is left exactly as it was and the element is dropped.
void OM_Collection_Push(OM_Collection* self, void* element);
