// The scripted shell must behave like the real one where the tests rely on it.
#include "tests/support/fake_system.h"

#include <gtest/gtest.h>

#include "tests/support/native_fixtures.h"

namespace velkin {
namespace {

// The shell of a fresh machine, asked about two bars: of windows `a_` and `b_`.
class FakeShell : public WithFakeSystem {
 protected:
  static AppBarRecord Record(WindowHandle hWnd, uint32_t edge, Rect rc) {
    AppBarRecord record;
    record.cbSize = sizeof record;
    record.hWnd = hWnd;
    record.uCallbackMessage = 0x5F6;
    record.uEdge = edge;
    record.rc = rc;
    return record;
  }
  int a_ = 0, b_ = 0;
};

TEST_F(FakeShell, RegistersOnceAndForgetsOnRemove) {
  AppBarRecord record = Record(&a_, kEdgeTop, Rect{});
  EXPECT_EQ(fake_.AppBarMessage(kAbmNew, record), 1u);
  EXPECT_EQ(fake_.AppBarMessage(kAbmNew, record), 0u);  // already registered
  EXPECT_EQ(fake_.bars.size(), 1u);
  fake_.refuseSecondRegistration = false;
  EXPECT_EQ(fake_.AppBarMessage(kAbmNew, record), 1u);
  EXPECT_EQ(fake_.bars.size(), 1u);
  EXPECT_EQ(fake_.AppBarMessage(kAbmRemove, record), 1u);
  EXPECT_EQ(fake_.FindBar(&a_), nullptr);
  EXPECT_EQ(fake_.AppBarMessage(kAbmRemove, record), 0u);
  EXPECT_EQ(fake_.CountCalls(kAbmNew), 3u);
  EXPECT_EQ(fake_.CountCalls(kAbmRemove), 2u);
}

TEST_F(FakeShell, AnUnregisteredBarGetsNoPosition) {
  AppBarRecord record = Record(&a_, kEdgeTop, Rect{5, 5, 50, 50});
  EXPECT_EQ(fake_.AppBarMessage(kAbmQueryPos, record), 0u);
  EXPECT_EQ(record.rc, (Rect{5, 5, 50, 50}));
  EXPECT_EQ(fake_.AppBarMessage(kAbmSetPos, record), 0u);
  EXPECT_TRUE(fake_.bars.empty());
}

TEST_F(FakeShell, ARemovedBarFreesItsStrip) {
  AppBarRecord a = Record(&a_, kEdgeTop, Rect{0, 0, 1024, 47});
  fake_.AppBarMessage(kAbmNew, a);
  fake_.AppBarMessage(kAbmSetPos, a);
  AppBarRecord b = Record(&b_, kEdgeTop, Rect{0, 0, 1024, 47});
  fake_.AppBarMessage(kAbmNew, b);
  fake_.AppBarMessage(kAbmQueryPos, b);
  EXPECT_EQ(b.rc.top, 47);
  fake_.AppBarMessage(kAbmRemove, a);
  b.rc = Rect{0, 0, 1024, 47};
  fake_.AppBarMessage(kAbmQueryPos, b);
  EXPECT_EQ(b.rc.top, 0);
}

TEST_F(FakeShell, KeepsPositionsOnTheScreen) {
  fake_.screen = Size{800, 600};
  AppBarRecord record = Record(&a_, kEdgeBottom, Rect{-10, 500, 900, 700});
  fake_.AppBarMessage(kAbmNew, record);
  fake_.AppBarMessage(kAbmQueryPos, record);
  EXPECT_EQ(record.rc, (Rect{0, 500, 800, 600}));
}

TEST_F(FakeShell, ARestartForgetsEveryBar) {
  AppBarRecord record = Record(&a_, kEdgeTop, Rect{0, 0, 1024, 47});
  fake_.AppBarMessage(kAbmNew, record);
  fake_.RestartShell();
  EXPECT_EQ(fake_.FindBar(&a_), nullptr);
  EXPECT_EQ(fake_.AppBarMessage(kAbmNew, record), 1u);
}

}  // namespace
}  // namespace velkin
