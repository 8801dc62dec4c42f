#include "collection.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

static void* take_from_malloc(reg bytes) { return malloc(bytes); }

OM_Collection* OM_CreateCollection(reg initialCapacity, reg elementSize) {
  return OM_CreateCollectionFrom(initialCapacity, elementSize, take_from_malloc);
}

OM_Collection* OM_CreateCollectionFrom(reg initialCapacity, reg elementSize,
                                       OM_Allocator allocate) {
  if (elementSize != 0 && initialCapacity > SIZE_MAX / elementSize) return nullptr;
  OM_Collection* c = static_cast<OM_Collection*>(allocate(sizeof(OM_Collection)));
  if (!c) return nullptr;
  reg bytes = initialCapacity * elementSize;
  // A zero-capacity collection still gets a valid block: widgets create every
  // child list that way and read null as failure.
  c->data = allocate(bytes ? bytes : 1);
  if (!c->data) {
    free(c);
    return nullptr;
  }
  c->elementSize = elementSize;
  c->capacity = initialCapacity;
  c->length = 0;
  return c;
}

void OM_DestroyCollection(OM_Collection* collection) {
  if (!collection) return;
  free(collection->data);
  free(collection);
}

void OM_Collection_Push(OM_Collection* self, void* element) {
  if (self->capacity <= self->length) {
    reg capacity = self->capacity == 0 ? 1 : self->capacity * 2;
    if (capacity < self->capacity) return;
    if (self->elementSize != 0 && capacity > SIZE_MAX / self->elementSize) return;
    reg bytes = capacity * self->elementSize;
    void* data = realloc(self->data, bytes ? bytes : 1);
    if (!data) return;  // the old block is still ours and unchanged
    self->data = data;
    self->capacity = capacity;
  }
  if (self->length >= self->capacity) return;  // fields edited by hand: no room
  memcpy(static_cast<u8*>(self->data) + self->length * self->elementSize, element,
         self->elementSize);
  self->length += 1;
}
