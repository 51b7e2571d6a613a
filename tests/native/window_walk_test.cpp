#include "windows/window_walk.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/native_fixtures.h"

namespace velkin {
namespace {

constexpr std::size_t kAll = std::numeric_limits<std::size_t>::max();

// Adds visible windows of no owner at the bottom of the stacking order, in the order given.
std::vector<WindowHandle> AddWindows(FakeSystem& fake, std::initializer_list<std::string> titles) {
  std::vector<WindowHandle> handles;
  for (const std::string& title : titles) handles.push_back(fake.AddWindow(title));
  return handles;
}

TEST(WindowWalk, PassesOverWhatIsNoOtherApplicationsWindow) {
  FakeSystem fake;
  fake.AddWindow("");                        // untitled, like the bar itself
  fake.AddWindow("Hidden", false);
  fake.AddWindow("Owned dialog", true, true);
  // Another case is another title, and so is a longer one.
  AddWindows(fake, {"Program Manager", "program manager", "Program Manager ", "メモ帳 - 無題", "Calculator"});
  const ExclusionList excluded({"Calculator", "メモ帳"});
  EXPECT_EQ(CandidateTitles(fake, nullptr, &excluded, kAll),
            (std::vector<std::string>{"program manager", "Program Manager ", "メモ帳 - 無題"}))
      << "an exact match is passed over, a prefix match is not";
  EXPECT_EQ(CandidateTitles(fake, nullptr, nullptr, kAll),
            (std::vector<std::string>{"program manager", "Program Manager ", "メモ帳 - 無題", "Calculator"}));
}

TEST(WindowWalk, ExactlyTheListedTitlesArePassedOver) {
  FakeSystem fake;
  AddWindows(fake, {"A", "B", "C"});
  for (const auto& row : std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>>{
           {{}, {"A", "B", "C"}}, {{"A"}, {"B", "C"}}, {{"A", "B", "C"}, {}}, {{"", "b", "C "}, {"A", "B", "C"}}}) {
    const ExclusionList excluded(row.first);
    EXPECT_EQ(CandidateTitles(fake, nullptr, &excluded, kAll), row.second) << excluded.Count();
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
  MinimizeAllWindows(fake, nullptr, ExclusionList({"Keep me"}));
  for (const FakeSystem::Window& window : fake.windows) {
    const bool expected = window.title.rfind("App ", 0) == 0;
    EXPECT_EQ(window.minimized, expected) << window.title;
  }
  // Each exactly once, from the top down as the walk found them.
  const std::vector<std::string> minimized = QueriesStartingWith(fake, "ShowMinimized ", true);
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

// The one list type with its one capacity: the panel's list, the dialog's working list and the
// file's titles all pass through it.
TEST(ExclusionList, TakesTheNonEmptyTitlesInOrderWithinItsTwenty) {
  const ExclusionList some({"B", "", "A", "A", "C"});
  EXPECT_EQ(some.Titles(), (std::vector<std::string>{"B", "A", "A", "C"})) << "empty skipped, duplicates kept";
  EXPECT_TRUE(some.Contains("A"));
  EXPECT_FALSE(some.Contains("a"));
  EXPECT_FALSE(some.Contains(""));
  std::vector<std::string> many;
  for (int i = 0; i < 25; ++i) many.push_back("T" + std::to_string(i));
  const ExclusionList full(many);
  ASSERT_EQ(full.Count(), ExclusionList::kCapacity);
  EXPECT_EQ(full[19], "T19");
  EXPECT_FALSE(full.Contains("T20"));
  EXPECT_EQ(ExclusionList().Count(), 0);
  for (const auto& row : {std::make_pair(0, true), std::make_pair(19, true), std::make_pair(20, false),
                          std::make_pair(25, false)}) {
    EXPECT_EQ(ExclusionList::CanAdd(row.first), row.second) << row.first;
  }
}

TEST(MinimizeAll, NeverTouchesALookAlikeAndReachesBothTwins) {
  FakeSystem fake;
  const WindowHandle hiddenTwin = fake.AddWindow("Twin", false);  // hidden, above the visible one
  const WindowHandle twin = fake.AddWindow("Twin");
  const std::vector<WindowHandle> h = AddWindows(fake, {"Pair", "Pair", "Keep me", "keep me"});
  const WindowHandle pairA = h[0], pairB = h[1], kept = h[2], lower = h[3];
  MinimizeAllWindows(fake, nullptr, ExclusionList({"Keep me"}));
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
  MinimizeAllWindows(fake, nullptr, ExclusionList());
  EXPECT_TRUE(fake.FindWindowInfo(first)->minimized);
  EXPECT_FALSE(fake.FindWindowInfo(second)->minimized);
}

}  // namespace
}  // namespace velkin
