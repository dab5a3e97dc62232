// The tick dispatcher: script advance, scene choice by id, the closing scene.
#include <gtest/gtest.h>

#include <memory>

#include "show/show.h"
#include "support/fake_platform.h"

namespace cellshow {
namespace {

using test::FakePlatform;

struct Dispatch {
  FakePlatform host;
  std::unique_ptr<Show> show = std::make_unique<Show>(host);
  Dispatch() { StartUp(*show); }
};

TEST(Dispatcher, AdvancesOnlyOnTheTickAfterASceneFinishes) {
  Dispatch d;
  d.host.RunTick();  // the first tick runs scene 0 without advancing
  EXPECT_EQ(d.show->seq.ScriptIndex, 0);
  EXPECT_EQ(d.show->seq.SceneClock, 1);
  d.show->seq.AdvancePending = 1;
  d.host.RunTick();
  EXPECT_EQ(d.show->seq.ScriptIndex, 1);
  EXPECT_EQ(d.show->seq.CurrentScene, 1);
  EXPECT_EQ(d.show->seq.AdvancePending, 0);
  // The next scene's step ran in that same tick: scene 1 counts its clock.
  EXPECT_EQ(d.show->seq.SceneClock, 2);
  EXPECT_EQ(d.show->seq.TickPhase, 1);
}

TEST(Dispatcher, ClosingSceneIdlesSeventySevenTicksAndShutsDownInTheNext) {
  // Every id without a scene of its own is the closing scene.
  for (int id : {5, 7, 9, 100, 255}) {
    Dispatch d;
    d.show->seq.ScriptIndex = 13;
    d.show->seq.CurrentScene = static_cast<uint8_t>(id);
    for (int t = 0; t < 77; ++t) d.host.RunTick();
    EXPECT_EQ(d.show->seq.TickPhase, 77) << id;
    EXPECT_EQ(d.host.records.size(), 0u) << id;
    EXPECT_EQ(d.host.exitCode, -1) << id;
    d.host.RunTick();
    EXPECT_EQ(d.host.exitCode, 0) << id;
    ASSERT_EQ(d.host.records.size(), 2u) << id;
    EXPECT_EQ(d.host.records[1].command, "close all");
    EXPECT_TRUE(d.host.ticksKeptOut);
  }
}

TEST(Dispatcher, TheWholeScriptPlaysInOrderAndEndsByItself) {
  Dispatch d;
  d.host.keyAfterPolls = 1 << 30;
  std::vector<std::pair<uint32_t, int>> entries;  // first tick of each entry
  int last = -1;
  while (d.host.exitCode < 0 && d.host.tick < 5000) {
    d.host.RunTick();
    if (d.show->seq.ScriptIndex != last) {
      last = d.show->seq.ScriptIndex;
      entries.push_back({d.host.tick, d.show->seq.CurrentScene});
    }
  }
  const std::vector<std::pair<uint32_t, int>> expected = {
      {1, 0},    {1297, 1}, {1497, 2}, {1563, 3}, {1850, 4}, {1988, 2}, {2054, 6},
      {2415, 1}, {2615, 8}, {2996, 3}, {3282, 4}, {3420, 4}, {3558, 4}, {3696, 7}};
  EXPECT_EQ(entries, expected);
  EXPECT_EQ(d.host.tick, 3773u);
  EXPECT_EQ(d.host.exitCode, 0);
  EXPECT_EQ(d.show->burst.BurstStage, 4);
  EXPECT_TRUE(d.host.ticksKeptOut);
}

}  // namespace
}  // namespace cellshow
