// Undo and redo: a script walked back and forth, cancel, the byte limit and running out of memory.
#include "history.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "scene_support.h"
#include "world_edit.h"

namespace {

constexpr reg kLimit = reg(64) << 20;

OM_Corner V(reg v) { return {v, 0.0f, 0.0f}; }
OM_Corner P(f32 x, f32 y) { return {OM_NEW_VERTEX, x, y}; }

class History : public ::testing::Test {
 public:
  void SetUp() override {
    w = world_builtin();
    h = OM_CreateHistory(kLimit);
    ASSERT_TRUE(w && h);
  }
  void TearDown() override {
    edit_memory_fail_after(OM_EDIT_MEMORY_UNLIMITED);
    OM_DestroyHistory(h);
    release_world(w);
  }
  bool draw(std::vector<OM_Corner> c) {
    return world_add_sector(w, c.data(), c.size(), 0, 1, nullptr, nullptr, nullptr, nullptr, 0);
  }
  bool triangle() { return draw({V(14), V(15), P(4, -1)}); }
  // Records, edits, and returns the world as the edit left it.
  std::string step(const std::function<bool()>& edit) {
    EXPECT_TRUE(history_record(h, w));
    EXPECT_TRUE(edit());
    EXPECT_TRUE(world_check(w, nullptr, 0));
    return world_text(w);
  }
  OM_World* w = nullptr;
  OM_History* h = nullptr;
};

TEST_F(History, UndoAndRedoWalkTheWholeScript) {
  OM_World* const same = w;
  OM_Surface* const concrete = w->textures[1];
  std::vector<std::string> states = {world_text(w)};
  const std::function<bool()> script[] = {
      [&] {
        return draw({V(14), V(15), P(5, -2), P(3, -2)});
      },
      [&] { return world_split_edge(w, 2, 1, 5, 0.5f, nullptr, nullptr, 0); },
      [&] { return world_link_edges(w, 0, 1, 1, 9, nullptr, nullptr, nullptr, nullptr, 0); },
      [&] { return world_delete_vertex(w, 2, nullptr, nullptr, nullptr, 0); },
      [&] { return world_delete_sector(w, 0, nullptr, nullptr, 0); },
      [&] {
        world_sector(w, 1)->floorHeight = 0.125f;
        world_sector(w, 1)->floorTexture = world_texture(w, "TEX_WBRICKS");
        return true;
      },
      [&] {
        return draw({V(0), V(1), P(1, -3)});
      },
  };
  for (const auto& edit : script) states.push_back(step(edit));
  const reg n = states.size() - 1;
  for (reg i = n; i-- > 0;) {
    ASSERT_TRUE(history_undo(h, w));
    EXPECT_EQ(world_text(w), states[i]) << "undo to state " << i;
  }
  EXPECT_FALSE(history_undo(h, w));
  for (reg i = 1; i <= n; i++) {
    ASSERT_TRUE(history_redo(h, w));
    EXPECT_EQ(world_text(w), states[i]) << "redo to state " << i;
  }
  EXPECT_FALSE(history_redo(h, w));
  EXPECT_TRUE(w == same && w->textures[1] == concrete && w->start.x == 4.0f);

  // A new edit after undoing forgets what could have been redone.
  ASSERT_TRUE(history_undo(h, w) && history_undo(h, w));
  step([&] { return world_delete_sector(w, 1, nullptr, nullptr, 0); });
  EXPECT_EQ(history_redo_steps(h), 0u);
  ASSERT_TRUE(history_undo(h, w));
  EXPECT_EQ(world_text(w), states[n - 2]);
  EXPECT_EQ(history_redo_steps(h), 1u);  // that edit, and none of those before it
}

TEST_F(History, CancelPutsBackWhatARefusedEditMayHaveTouched) {
  const std::string before = world_text(w);
  EXPECT_FALSE(history_cancel(h, w));  // nothing recorded
  step([&] { return world_delete_sector(w, 2, nullptr, nullptr, 0); });
  ASSERT_TRUE(history_undo(h, w));

  // A refused edit: cancelling gives back the redo step the record set aside.
  ASSERT_TRUE(history_record(h, w));
  EXPECT_EQ(history_redo_steps(h), 0u);
  EXPECT_FALSE(draw({V(14), V(15)}));
  EXPECT_TRUE(history_cancel(h, w));
  EXPECT_FALSE(history_cancel(h, w));  // only right after a record
  EXPECT_EQ(history_undo_steps(h), 0u);
  EXPECT_EQ(history_redo_steps(h), 1u);

  // An edit that touched the world is put back.
  ASSERT_TRUE(history_record(h, w));
  world_sector(w, 0)->ceilingHeight = 3.0f;
  EXPECT_TRUE(history_cancel(h, w));
  EXPECT_EQ(world_text(w), before);
  ASSERT_TRUE(history_redo(h, w));
  EXPECT_EQ(world_sector_count(w), 2u);
  ASSERT_TRUE(history_record(h, w) && history_cancel(h, w));
  EXPECT_FALSE(history_cancel(h, w));  // the step before the record stays
  EXPECT_EQ(world_sector_count(w), 2u);
}

TEST_F(History, TheByteLimitForgetsTheOldestSteps) {
  ASSERT_TRUE(history_record(h, w));
  const reg copy = history_bytes(h);  // one copy of the built-in world
  EXPECT_GE(kLimit / copy, 100u);
  const struct {
    reg limit;
    int edits;
    reg kept;
  } cases[] = {
      {copy - 1, 3, 0},
      {copy, 3, 1},
      {3 * copy + copy / 2, 5, 3},
      {kLimit, 150, 150},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.limit);
    OM_History* small = OM_CreateHistory(c.limit);
    std::vector<std::string> states = {world_text(w)};
    for (int i = 0; i < c.edits; i++) {
      EXPECT_EQ(history_record(small, w), c.kept > 0);  // too large: the caller is told
      world_sector(w, 2)->ceilingHeight += 0.125f;
      states.push_back(world_text(w));
    }
    EXPECT_EQ(history_undo_steps(small), c.kept);
    for (reg i = 0; i < c.kept; i++) ASSERT_TRUE(history_undo(small, w));
    EXPECT_FALSE(history_undo(small, w));
    EXPECT_EQ(world_text(w), states[c.edits - c.kept]);
    EXPECT_LE(history_bytes(small), c.limit);
    OM_DestroyHistory(small);
    world_sector(w, 2)->ceilingHeight = 2.0f;
  }
  // Room for a record after an undo comes from the oldest undo step: the
  // step undone stays, for a cancel to give back.
  OM_History* small = OM_CreateHistory(3 * copy + copy / 2);
  for (int i = 0; i < 3; i++) ASSERT_TRUE(history_record(small, w));
  ASSERT_TRUE(history_undo(small, w));
  ASSERT_TRUE(history_record(small, w) && history_cancel(small, w));
  EXPECT_EQ(history_redo_steps(small), 1u);
  OM_DestroyHistory(small);
}

// Undo, redo and record, each made to fail at every allocation in turn:
// until one is given enough, the world and the steps stay as they were;
// only a failed record forgets the steps, lest an undo skip the edit after it.
TEST_F(History, RunningOutOfMemoryChangesNothing) {
  const struct {
    std::function<void(History*)> prepare;
    bool (*act)(OM_History*, OM_World*);
    bool forgets = false;
  } cases[] = {
      {[](History* t) { t->step([t] { return t->triangle(); }); }, history_undo},
      {[](History* t) {
         t->step([t] { return t->triangle(); });
         history_undo(t->h, t->w);
       },
       history_redo},
      {[](History* t) { t->step([t] { return world_delete_sector(t->w, 0, 0, 0, 0); }); },
       history_undo},
      {[](History*) {}, [](OM_History* h, OM_World* w) { return history_record(h, w); }},
      {[](History* t) { t->step([t] { return t->triangle(); }); },
       [](OM_History* h, OM_World* w) { return history_record(h, w); }, true},
  };
  for (const auto& c : cases) {
    bool done = false;
    for (reg grants = 0; grants < 20 && !done; grants++) {
      TearDown();
      SetUp();
      c.prepare(this);
      const std::string before = world_text(w);
      const reg undo = history_undo_steps(h), redo = history_redo_steps(h);
      edit_memory_fail_after(grants);
      done = c.act(h, w);
      edit_memory_fail_after(OM_EDIT_MEMORY_UNLIMITED);
      EXPECT_TRUE(world_check(w, nullptr, 0));
      if (done) break;
      EXPECT_EQ(world_text(w), before) << grants;
      EXPECT_EQ(history_undo_steps(h), c.forgets ? 0 : undo) << grants;
      EXPECT_EQ(history_redo_steps(h), redo) << grants;
    }
    EXPECT_TRUE(done);
  }
}

}  // namespace
