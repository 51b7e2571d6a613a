#include "appbar/appbar_geometry.h"

#include <gtest/gtest.h>

#include "appbar/appbar_data.h"
#include "tests/support/native_fixtures.h"

namespace velkin {
namespace {

struct ThicknessRow {
  uint32_t edge;
  Rect before;
  Size thickness;
  Rect after;
};

TEST(ApplyThickness, SetsTheInnerSideFromTheOuterSide) {
  const ThicknessRow rows[] = {
      {kEdgeLeft, {0, 0, 1024, 768}, {150, 47}, {0, 0, 150, 768}},
      {kEdgeTop, {0, 0, 1024, 768}, {150, 47}, {0, 0, 1024, 47}},
      {kEdgeRight, {0, 0, 1024, 768}, {150, 47}, {874, 0, 1024, 768}},
      {kEdgeBottom, {0, 0, 1024, 768}, {150, 47}, {0, 721, 1024, 768}},
      // The outer side is where the shell put it, not necessarily the screen's side.
      {kEdgeTop, {0, 30, 1024, 500}, {0, 47}, {0, 30, 1024, 77}},
      {kEdgeBottom, {0, 0, 800, 560}, {0, 40}, {0, 520, 800, 560}},
      {kEdgeLeft, {60, 0, 1024, 768}, {100, 0}, {60, 0, 160, 768}},
      {kEdgeRight, {0, 0, 900, 768}, {100, 0}, {800, 0, 900, 768}},
      // Any other edge changes nothing.
      {4, {1, 2, 3, 4}, {150, 47}, {1, 2, 3, 4}},
      {0xFFFFFFFFu, {1, 2, 3, 4}, {150, 47}, {1, 2, 3, 4}},
  };
  for (const ThicknessRow& row : rows) {
    Rect rc = row.before;
    ApplyThickness(row.edge, rc, row.thickness);
    EXPECT_EQ(rc, row.after) << "edge " << row.edge;
  }
}

struct NegotiateRow {
  uint32_t edge;
  Rect proposed;
  Rect stretched;  // what the shell is asked about
  Rect placed;     // what the bar claims
};

TEST_F(WithFakeSystem, NegotiatePositionOnEachEdgeOfAnEmptyScreen) {
  const NegotiateRow rows[] = {
      {kEdgeLeft, {0, 0, 150, 768}, {0, 0, 150, 768}, {0, 0, 150, 768}},
      {kEdgeTop, {0, 0, 1024, 47}, {0, 0, 1024, 47}, {0, 0, 1024, 47}},
      {kEdgeRight, {874, 0, 1024, 768}, {874, 0, 1024, 768}, {874, 0, 1024, 768}},
      {kEdgeBottom, {0, 721, 1024, 768}, {0, 721, 1024, 768}, {0, 721, 1024, 768}},
      // A rectangle somewhere else is stretched along its edge and keeps its thickness.
      {kEdgeTop, {100, 300, 600, 347}, {0, 300, 1024, 347}, {0, 300, 1024, 347}},
      {kEdgeLeft, {200, 50, 350, 100}, {200, 0, 350, 768}, {200, 0, 350, 768}},
  };
  for (const NegotiateRow& row : rows) {
    fake_.appBarCalls.clear();
    fake_.bars.clear();
    CAppBarData data(fake_);
    int window = 0;
    data.Init(&window, row.edge, Rect{}, 0, WM_APPBAR_NOTIFY);
    data.Register();
    const Rect placed = NegotiatePosition(data, row.proposed, fake_.screen);
    EXPECT_EQ(placed, row.placed) << "edge " << row.edge;
    EXPECT_EQ(data.abd.rc, row.placed);
    ASSERT_EQ(fake_.appBarCalls.size(), 3u);
    EXPECT_EQ(fake_.appBarCalls[1].message, kAbmQueryPos);
    EXPECT_EQ(fake_.appBarCalls[1].sent.rc, row.stretched) << "edge " << row.edge;
    EXPECT_EQ(fake_.appBarCalls[2].message, kAbmSetPos);
    EXPECT_EQ(fake_.appBarCalls[2].sent.rc, row.placed) << "edge " << row.edge;
  }
}

TEST_F(WithFakeSystem, NegotiatePositionGoesInsideTheBarsAlreadyOnItsEdge) {
  int other = 0;
  fake_.AddPlacedBar(&other, kEdgeTop, Rect{0, 0, 1024, 30});
  int otherLeft = 0;
  fake_.AddPlacedBar(&otherLeft, kEdgeLeft, Rect{0, 0, 60, 768});
  int otherBottom = 0;
  fake_.AddPlacedBar(&otherBottom, kEdgeBottom, Rect{0, 740, 1024, 768});

  const NegotiateRow rows[] = {
      {kEdgeTop, {0, 0, 1024, 47}, {0, 0, 1024, 47}, {0, 30, 1024, 77}},
      {kEdgeLeft, {0, 0, 150, 768}, {0, 0, 150, 768}, {60, 0, 210, 768}},
      {kEdgeBottom, {0, 721, 1024, 768}, {0, 721, 1024, 768}, {0, 693, 1024, 740}},
      // No bar on the right: the screen's side.
      {kEdgeRight, {874, 0, 1024, 768}, {874, 0, 1024, 768}, {874, 0, 1024, 768}},
  };
  for (const NegotiateRow& row : rows) {
    int window = 0;
    CAppBarData data(fake_);
    data.Init(&window, row.edge, Rect{}, 0, WM_APPBAR_NOTIFY);
    data.Register();
    EXPECT_EQ(NegotiatePosition(data, row.proposed, fake_.screen), row.placed) << "edge " << row.edge;
    data.Remove();
  }
}

TEST_F(WithFakeSystem, AppBarDataSendsItsRecordWithTheRealSize) {
  CAppBarData data(fake_);
  int window = 0;
  data.Init(&window, kEdgeRight, Rect{1, 2, 3, 4}, 0, WM_APPBAR_NOTIFY);
  EXPECT_EQ(data.abd.cbSize, sizeof(void*) == 4 ? 36u : 48u);
  EXPECT_FALSE(data.IsRegistered());
  data.Register();
  data.Activate();
  data.WindowPosChanged();
  data.Remove();
  ASSERT_EQ(fake_.appBarCalls.size(), 4u);
  const uint32_t expected[] = {kAbmNew, kAbmActivate, kAbmWindowPosChanged, kAbmRemove};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(fake_.appBarCalls[i].message, expected[i]);
    EXPECT_EQ(fake_.appBarCalls[i].sent.hWnd, &window);
    EXPECT_EQ(fake_.appBarCalls[i].sent.uCallbackMessage, 0x5F6u);
    EXPECT_EQ(fake_.appBarCalls[i].sent.uEdge, kEdgeRight);
    EXPECT_EQ(fake_.appBarCalls[i].sent.lParam, 0);
  }
  EXPECT_FALSE(data.IsRegistered());
}

TEST(BarHitTest, OnlyTheInnerSizingBorderKeepsItsMeaning) {
  const int32_t hits[] = {0, kHtClient, 2 /*caption*/, kHtLeft, kHtRight, kHtTop, kHtBottom,
                          13 /*top left*/, 17 /*bottom right*/, 18 /*border*/, -1 /*error*/};
  const int32_t inner[] = {kHtRight, kHtBottom, kHtLeft, kHtTop};
  for (uint32_t edge = 0; edge < 4; ++edge) {
    for (int32_t hit : hits) {
      const int32_t expected = hit == inner[edge] ? hit : kHtClient;
      EXPECT_EQ(BarHitTest(edge, hit), expected) << "edge " << edge << " hit " << hit;
    }
  }
  for (int32_t hit : hits) EXPECT_EQ(BarHitTest(7, hit), kHtClient);
}

TEST(ScreenRect, CoversTheWholeScreen) {
  EXPECT_EQ(ScreenRect(Size{1024, 768}), (Rect{0, 0, 1024, 768}));
  EXPECT_EQ(ScreenRect(Size{640, 480}), (Rect{0, 0, 640, 480}));
}

}  // namespace
}  // namespace velkin
