#include "windows/window_walk.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "platform/fake_system.h"

namespace velkin {
namespace {

constexpr std::size_t kAll = std::numeric_limits<std::size_t>::max();

TEST(WindowWalk, PassesOverWhatIsNoOtherApplicationsWindow) {
  FakeSystem fake;
  fake.AddWindow("");                        // untitled, like the bar itself
  fake.AddWindow("Hidden", false);
  fake.AddWindow("Owned dialog", true, true);
  fake.AddWindow("Program Manager");
  fake.AddWindow("program manager");         // another case is another title
  fake.AddWindow("Program Manager ");        // and so is a longer one
  fake.AddWindow("メモ帳 - 無題");
  fake.AddWindow("Calculator");
  const std::string excluded[] = {"Calculator", "メモ帳", "Unused"};
  const ExclusionFilter filter{excluded, 2};
  EXPECT_EQ(CandidateTitles(fake, nullptr, &filter, kAll),
            (std::vector<std::string>{"program manager", "Program Manager ", "メモ帳 - 無題"}))
      << "an exact match is passed over, a prefix match is not";
  EXPECT_EQ(CandidateTitles(fake, nullptr, nullptr, kAll),
            (std::vector<std::string>{"program manager", "Program Manager ", "メモ帳 - 無題", "Calculator"}));
}

TEST(WindowWalk, EntriesBeyondTheCountAreIgnored) {
  FakeSystem fake;
  fake.AddWindow("A");
  fake.AddWindow("B");
  fake.AddWindow("C");
  const std::string excluded[20] = {"A", "B", "C"};
  for (const auto& row : std::vector<std::pair<int, std::vector<std::string>>>{
           {0, {"A", "B", "C"}}, {1, {"B", "C"}}, {3, {}}, {-5, {"A", "B", "C"}}, {99, {}}}) {
    const ExclusionFilter filter{excluded, row.first};
    EXPECT_EQ(CandidateTitles(fake, nullptr, &filter, kAll), row.second) << row.first;
  }
}

TEST(WindowWalk, TwelveCandidatesGiveTheTopTen) {
  FakeSystem fake;
  for (int i = 1; i <= 12; ++i) fake.AddWindow("Window " + std::to_string(i));
  const std::vector<std::string> titles = CandidateTitles(fake, nullptr, nullptr, 10);
  ASSERT_EQ(titles.size(), 10u);
  EXPECT_EQ(titles.front(), "Window 1");
  EXPECT_EQ(titles.back(), "Window 10");
  FakeSystem none;
  EXPECT_TRUE(CandidateTitles(none, nullptr, nullptr, 10).empty());
}

TEST(MinimizeAll, ReachesEveryCandidateOnceWhileTheOrderChanges) {
  FakeSystem fake;
  fake.AddWindow("");
  for (int i = 1; i <= 14; ++i) fake.AddWindow("App " + std::to_string(i));
  fake.AddWindow("Keep me");
  fake.AddWindow("Owned", true, true);
  fake.AddWindow("Hidden", false);
  fake.AddWindow("Program Manager");
  const std::string excluded[] = {"Keep me"};
  MinimizeAllWindows(fake, nullptr, ExclusionFilter{excluded, 1});
  for (const FakeSystem::Window& window : fake.windows) {
    const bool expected = window.title.rfind("App ", 0) == 0;
    EXPECT_EQ(window.minimized, expected) << window.title;
  }
  // Each exactly once, from the top down as the walk found them.
  std::vector<std::string> minimized;
  for (const std::string& q : fake.queries) {
    if (q.rfind("ShowMinimized ", 0) == 0) minimized.push_back(q.substr(14));
  }
  ASSERT_EQ(minimized.size(), 14u);
  for (int i = 1; i <= 14; ++i) EXPECT_EQ(minimized[i - 1], "App " + std::to_string(i));
}

TEST(MinimizeByTitle, ActsOnWhatTheLookupFindsNow) {
  FakeSystem fake;
  fake.AddWindow("Twin");
  const WindowHandle second = fake.AddWindow("Twin");
  MinimizeByTitle(fake, "Gone");
  EXPECT_EQ(fake.CountQueries("ShowMinimized"), 0u);
  MinimizeByTitle(fake, "Twin");
  MinimizeByTitle(fake, "Twin");
  // The lookup finds the topmost twin both times: the other stays as it was.
  EXPECT_FALSE(fake.FindWindowInfo(second)->minimized);
  EXPECT_EQ(fake.CountQueries("ShowMinimized"), 2u);
}

}  // namespace
}  // namespace velkin

#include "windows/exclusion_edit.h"

namespace velkin {
namespace {

TEST(ExclusionEdit, ThePanelListIsTheNonEmptyWorkingEntriesInOrder) {
  std::string working[kExclusionLimit];
  working[0] = "B";
  working[3] = "A";
  working[19] = "C";
  std::string list[kExclusionLimit];
  list[5] = "stale";
  EXPECT_EQ(RebuildExclusionList(working, list), 3);
  EXPECT_EQ(list[0], "B");
  EXPECT_EQ(list[1], "A");
  EXPECT_EQ(list[2], "C");
  for (int i = 3; i < kExclusionLimit; ++i) EXPECT_TRUE(list[i].empty()) << i;
  EXPECT_EQ(CountInUse(working), 3);
}

TEST(ExclusionEdit, TheListBoxBecomesTheWorkingListWithinItsTwentyEntries) {
  std::string working[kExclusionLimit];
  working[7] = "old";
  EXPECT_EQ(TakeWorkingList({"A", "A", "Z"}, working), 3);
  EXPECT_EQ(working[1], "A") << "duplicates are kept";
  EXPECT_TRUE(working[7].empty());
  std::vector<std::string> many;
  for (int i = 0; i < 25; ++i) many.push_back("T" + std::to_string(i));
  EXPECT_EQ(TakeWorkingList(many, working), 20);
  EXPECT_EQ(working[19], "T19");
  EXPECT_EQ(TakeWorkingList({}, working), 0);
  EXPECT_EQ(CountInUse(working), 0);
}

TEST(ExclusionEdit, TwentyIsTheLimit) {
  EXPECT_TRUE(CanAddExclusion(0));
  EXPECT_TRUE(CanAddExclusion(19));
  EXPECT_FALSE(CanAddExclusion(20));
  EXPECT_FALSE(CanAddExclusion(25));
}

}  // namespace
}  // namespace velkin

namespace velkin {
namespace {

TEST(MinimizeAll, NeverTouchesALookAlikeAndReachesBothTwins) {
  FakeSystem fake;
  const WindowHandle hiddenTwin = fake.AddWindow("Twin", false);  // hidden, above the visible one
  const WindowHandle twin = fake.AddWindow("Twin");
  const WindowHandle pairA = fake.AddWindow("Pair");
  const WindowHandle pairB = fake.AddWindow("Pair");
  const WindowHandle kept = fake.AddWindow("Keep me");
  const WindowHandle lower = fake.AddWindow("keep me");
  const std::string excluded[] = {"Keep me"};
  MinimizeAllWindows(fake, nullptr, ExclusionFilter{excluded, 1});
  EXPECT_FALSE(fake.FindWindowInfo(hiddenTwin)->minimized) << "a hidden window stays hidden";
  EXPECT_TRUE(fake.FindWindowInfo(twin)->minimized);
  EXPECT_TRUE(fake.FindWindowInfo(pairA)->minimized);
  EXPECT_TRUE(fake.FindWindowInfo(pairB)->minimized) << "each twin once";
  EXPECT_FALSE(fake.FindWindowInfo(kept)->minimized) << "the excluded window whatever its look-alikes";
  EXPECT_TRUE(fake.FindWindowInfo(lower)->minimized);
}

TEST(MinimizeAll, PassesOverAWindowRetitledOrClosedMeanwhile) {
  // A machine on which the second candidate changes its title as soon as the first is minimized.
  class Retitling : public FakeSystem {
   public:
    void ShowMinimized(WindowHandle window) override {
      FakeSystem::ShowMinimized(window);
      for (Window& w : windows) {
        if (w.title == "Second") w.title = "Renamed";
      }
    }
  } fake;
  const WindowHandle first = fake.AddWindow("First");
  const WindowHandle second = fake.AddWindow("Second");
  MinimizeAllWindows(fake, nullptr, ExclusionFilter{nullptr, 0});
  EXPECT_TRUE(fake.FindWindowInfo(first)->minimized);
  EXPECT_FALSE(fake.FindWindowInfo(second)->minimized);
}

}  // namespace
}  // namespace velkin
