// The scripted shell must behave like the real one where the tests rely on it.
#include "tests/support/fake_system.h"

#include <gtest/gtest.h>

namespace velkin {
namespace {

AppBarRecord Record(WindowHandle hWnd, uint32_t edge, Rect rc) {
  AppBarRecord record;
  record.cbSize = sizeof record;
  record.hWnd = hWnd;
  record.uCallbackMessage = 0x5F6;
  record.uEdge = edge;
  record.rc = rc;
  return record;
}

TEST(FakeShell, RegistersOnceAndForgetsOnRemove) {
  FakeSystem fake;
  int a = 0;
  AppBarRecord record = Record(&a, kEdgeTop, Rect{});
  EXPECT_EQ(fake.AppBarMessage(kAbmNew, record), 1u);
  EXPECT_EQ(fake.AppBarMessage(kAbmNew, record), 0u);  // already registered
  EXPECT_EQ(fake.bars.size(), 1u);
  fake.refuseSecondRegistration = false;
  EXPECT_EQ(fake.AppBarMessage(kAbmNew, record), 1u);
  EXPECT_EQ(fake.bars.size(), 1u);
  EXPECT_EQ(fake.AppBarMessage(kAbmRemove, record), 1u);
  EXPECT_EQ(fake.FindBar(&a), nullptr);
  EXPECT_EQ(fake.AppBarMessage(kAbmRemove, record), 0u);
  EXPECT_EQ(fake.CountCalls(kAbmNew), 3u);
  EXPECT_EQ(fake.CountCalls(kAbmRemove), 2u);
}

TEST(FakeShell, AnUnregisteredBarGetsNoPosition) {
  FakeSystem fake;
  int a = 0;
  AppBarRecord record = Record(&a, kEdgeTop, Rect{5, 5, 50, 50});
  EXPECT_EQ(fake.AppBarMessage(kAbmQueryPos, record), 0u);
  EXPECT_EQ(record.rc, (Rect{5, 5, 50, 50}));
  EXPECT_EQ(fake.AppBarMessage(kAbmSetPos, record), 0u);
  EXPECT_TRUE(fake.bars.empty());
}

TEST(FakeShell, ARemovedBarFreesItsStrip) {
  FakeSystem fake;
  int first = 0, second = 0;
  AppBarRecord a = Record(&first, kEdgeTop, Rect{0, 0, 1024, 47});
  fake.AppBarMessage(kAbmNew, a);
  fake.AppBarMessage(kAbmSetPos, a);
  AppBarRecord b = Record(&second, kEdgeTop, Rect{0, 0, 1024, 47});
  fake.AppBarMessage(kAbmNew, b);
  fake.AppBarMessage(kAbmQueryPos, b);
  EXPECT_EQ(b.rc.top, 47);
  fake.AppBarMessage(kAbmRemove, a);
  b.rc = Rect{0, 0, 1024, 47};
  fake.AppBarMessage(kAbmQueryPos, b);
  EXPECT_EQ(b.rc.top, 0);
}

TEST(FakeShell, KeepsPositionsOnTheScreen) {
  FakeSystem fake;
  fake.screen = Size{800, 600};
  int a = 0;
  AppBarRecord record = Record(&a, kEdgeBottom, Rect{-10, 500, 900, 700});
  fake.AppBarMessage(kAbmNew, record);
  fake.AppBarMessage(kAbmQueryPos, record);
  EXPECT_EQ(record.rc, (Rect{0, 500, 800, 600}));
}

TEST(FakeShell, ARestartForgetsEveryBar) {
  FakeSystem fake;
  int a = 0;
  AppBarRecord record = Record(&a, kEdgeTop, Rect{0, 0, 1024, 47});
  fake.AppBarMessage(kAbmNew, record);
  fake.RestartShell();
  EXPECT_EQ(fake.FindBar(&a), nullptr);
  EXPECT_EQ(fake.AppBarMessage(kAbmNew, record), 1u);
}

}  // namespace
}  // namespace velkin
