// The growable array: doubling, copies of what is pushed, no write outside its storage,
// and its blocks from the allocator it is given.
#include "collection.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "world_edit.h"

namespace {

// Pushes 0, 1, ... from one variable, so only copies keep their values;
// returns the capacity after each push.
std::vector<reg> Push(OM_Collection* c, uint64_t count) {
  std::vector<reg> caps;
  for (uint64_t v = 0; v < count; v++) OM_Collection_Push(c, &v), caps.push_back(c->capacity);
  for (uint64_t k = 0; k < c->length; k++) EXPECT_EQ(static_cast<uint64_t*>(c->data)[k], k);
  return caps;
}

TEST(Collection, GrowsOneDoublingPerFullPushAndStoresCopies) {
  OM_Collection* empty = OM_CreateCollection(0, 8);
  ASSERT_NE(empty, nullptr);
  EXPECT_NE(empty->data, nullptr);  // widgets read null as failure
  EXPECT_EQ(Push(empty, 5), (std::vector<reg>{1, 2, 4, 4, 8}));
  EXPECT_EQ(empty->length, 5u);
  OM_Collection* c = OM_CreateCollection(18, 8);
  std::vector<reg> caps = Push(c, 19);
  EXPECT_EQ(caps[17], 18u);
  EXPECT_EQ(caps[18], 36u);
  OM_DestroyCollection(c);
  OM_DestroyCollection(empty);
  OM_DestroyCollection(nullptr);
}

TEST(Collection, NeverWritesOutsideItsStorage) {
  EXPECT_EQ(OM_CreateCollection(SIZE_MAX / 2, 4), nullptr);
  // Doubling the capacity would overflow the size: the push is dropped.
  OM_Collection* huge = OM_CreateCollection(0, SIZE_MAX / 2 + 1);
  ASSERT_NE(huge, nullptr);
  huge->capacity = huge->length = 1;
  void* before = huge->data;
  OM_Collection_Push(huge, &before);
  EXPECT_EQ(huge->capacity, 1u);
  EXPECT_EQ(huge->length, 1u);
  EXPECT_EQ(huge->data, before);
  OM_DestroyCollection(huge);
  // A length edited past the storage: it grows once but writes nothing.
  OM_Collection* c = OM_CreateCollection(2, sizeof(int));
  c->length = 9;
  OM_Collection_Push(c, &c->length);
  EXPECT_EQ(c->capacity, 4u);
  EXPECT_EQ(c->length, 9u);
  OM_DestroyCollection(c);
}

// Hands out `left` blocks, then refuses; counts what it is asked.
int asked = 0, left = 0;
void* Limited(reg bytes) {
  ++asked;
  return left-- > 0 ? malloc(bytes) : nullptr;
}

TEST(Collection, TakesBothBlocksFromTheAllocatorGivenAndFailsWhole) {
  for (int grants = 0; grants <= 2; ++grants) {
    asked = 0, left = grants;
    OM_Collection* c = OM_CreateCollectionFrom(3, 8, Limited);
    EXPECT_EQ(c != nullptr, grants == 2);  // a refused second block frees the first
    EXPECT_EQ(asked, grants == 0 ? 1 : 2);
    EXPECT_EQ(c ? c->capacity : 3u, 3u);
    OM_DestroyCollection(c);
  }
  // A capacity whose size wraps round to 8 bytes asks for nothing; the
  // edits' counted memory makes its collections the same way.
  asked = 0, left = 2;
  EXPECT_EQ(OM_CreateCollectionFrom(SIZE_MAX / 8 + 2, 8, Limited), nullptr);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(edit_collection(SIZE_MAX / 8 + 2, 8), nullptr);
}

}  // namespace
