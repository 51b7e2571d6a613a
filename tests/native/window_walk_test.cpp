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

// A slot acts on the window it listed while that still shows the title, whatever else shows
// it; else on the topmost window with the title; else on nothing. Windows, top first: "Twin"
// (hidden), "Twin", "Page ? Firefox" (listed, as a title read through code page 932 comes).
TEST(MinimizeListed, TheListedWindowFirstThenTheTopmostOfItsTitle) {
  struct Row {
    const char* name;
    int listed;          // the window listed: its index, or -1 for none
    const char* title;   // the title it was listed with
    const char* retitle; // what the listed window is called now, or null
    bool close;          // the listed window is closed meanwhile
    int minimized;       // the window minimized: its index, or -1 for none
  };
  const Row rows[] = {
      {"the listed twin, not the hidden one above it", 1, "Twin", nullptr, false, 1},
      {"a title no lookup by title would find again", 2, "Page ? Firefox", nullptr, false, 2},
      {"retitled: the topmost window now called so", 2, "Twin", "Other", false, 0},
      {"closed: the topmost window of its title", 1, "Twin", nullptr, true, 0},
      {"closed, and nothing has its title", 2, "Page ? Firefox", nullptr, true, -1},
      {"a slot never filled", -1, "", nullptr, false, -1},
  };
  for (const Row& row : rows) {
    FakeSystem fake;
    const std::vector<WindowHandle> h = {fake.AddWindow("Twin", false), fake.AddWindow("Twin"),
                                         fake.AddWindow("Page ? Firefox")};
    const WindowHandle listed = row.listed >= 0 ? h[static_cast<size_t>(row.listed)] : nullptr;
    for (FakeSystem::Window& w : fake.windows) {
      if (w.handle == listed && row.retitle != nullptr) w.title = row.retitle;
    }
    if (row.close) fake.windows.erase(fake.windows.begin() + row.listed);
    MinimizeListed(fake, nullptr, Candidate{listed, row.title});
    EXPECT_EQ(fake.CountQueries("ShowMinimized"), row.minimized >= 0 ? 1u : 0u) << row.name;
    if (row.minimized >= 0) {
      EXPECT_TRUE(fake.FindWindowInfo(h[static_cast<size_t>(row.minimized)])->minimized) << row.name;
    }
  }
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
