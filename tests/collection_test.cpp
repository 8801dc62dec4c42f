#include "collection.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

struct CollectionPtr {
  OM_Collection* c;
  explicit CollectionPtr(OM_Collection* p) : c(p) {}
  ~CollectionPtr() { OM_DestroyCollection(c); }
};

TEST(Collection, GrowsOneStepPerAppendFromEmpty) {
  CollectionPtr p(OM_CreateCollection(0, sizeof(int)));
  ASSERT_NE(p.c, nullptr);
  EXPECT_NE(p.c->data, nullptr);  // a valid block even for capacity 0
  EXPECT_EQ(p.c->capacity, 0u);
  std::vector<reg> caps;
  for (int i = 0; i < 5; i++) {
    OM_Collection_Push(p.c, &i);
    caps.push_back(p.c->capacity);
  }
  EXPECT_EQ(caps, (std::vector<reg>{1, 2, 4, 4, 8}));
  EXPECT_EQ(p.c->length, 5u);
  for (int i = 0; i < 5; i++) EXPECT_EQ(static_cast<int*>(p.c->data)[i], i);
}

TEST(Collection, DoublesFromAnyStartOnlyWhenFull) {
  CollectionPtr p(OM_CreateCollection(18, 8));
  ASSERT_NE(p.c, nullptr);
  uint64_t v = 0;
  for (; v < 18; v++) OM_Collection_Push(p.c, &v);
  EXPECT_EQ(p.c->capacity, 18u);
  OM_Collection_Push(p.c, &v);
  EXPECT_EQ(p.c->capacity, 36u);
  EXPECT_EQ(p.c->length, 19u);
  for (uint64_t k = 0; k < 19; k++) EXPECT_EQ(static_cast<uint64_t*>(p.c->data)[k], k);
}

TEST(Collection, StoresACopy) {
  CollectionPtr p(OM_CreateCollection(1, sizeof(int)));
  int x = 7;
  OM_Collection_Push(p.c, &x);
  x = 9;
  EXPECT_EQ(static_cast<int*>(p.c->data)[0], 7);
}

TEST(Collection, DestroyNullIsHarmless) { OM_DestroyCollection(nullptr); }

TEST(Collection, ImpossibleSizesFailCleanly) {
  EXPECT_EQ(OM_CreateCollection(SIZE_MAX / 2, 4), nullptr);
}

TEST(Collection, PushThatCannotGrowLeavesCollectionUnchanged) {
  // An element so large that doubling the capacity overflows the size type:
  // the append must be dropped, not written past the storage.
  const reg huge = SIZE_MAX / 2 + 1;
  CollectionPtr p(OM_CreateCollection(0, huge));
  ASSERT_NE(p.c, nullptr);
  p.c->capacity = 1;
  p.c->length = 1;
  void* before = p.c->data;
  char dummy = 0;
  OM_Collection_Push(p.c, &dummy);
  EXPECT_EQ(p.c->capacity, 1u);
  EXPECT_EQ(p.c->length, 1u);
  EXPECT_EQ(p.c->data, before);
  p.c->capacity = 0;
  p.c->length = 0;
}

TEST(Collection, PushWithLengthBeyondCapacityDoesNotWriteOutside) {
  CollectionPtr p(OM_CreateCollection(2, sizeof(int)));
  p.c->length = 9;  // edited by hand past the storage
  int x = 1;
  OM_Collection_Push(p.c, &x);
  EXPECT_EQ(p.c->capacity, 4u);
  EXPECT_EQ(p.c->length, 9u);
  p.c->length = 0;
}

}  // namespace
