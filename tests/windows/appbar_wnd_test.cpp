// The bar's docking, driven by real window messages on the scripted shell.
#include "appbar/appbar_geometry.h"
#include "bar_fixture.h"
#include "tests/support/expected_layout.h"

namespace {

using velkin::FakeSystem;

constexpr UINT kAppBarNotify = 0x5F6;
// The window objects a panel is made of: itself, its 18 controls, the version dialog, the about
// box, the exclusion dialog with its list box, and the window picker with its list box.
constexpr long kPanelObjects = 25;
// Where the bar docks on the scripted 1024 x 768 screen.
constexpr RECT kDocked{0, 0, 1024, 47};

// The position of the first call of the shell with `message` from `from` on, or the number of calls.
size_t FirstCall(const FakeSystem& shell, uint32_t message, size_t from = 0) {
  while (from < shell.appBarCalls.size() && shell.appBarCalls[from].message != message) ++from;
  return from;
}

TEST_F(BarTest, RegistersAndDocksToTheTopAtItsThickness) {
  CreatePanel();
  EXPECT_EQ(WindowRect(), kDocked);
  const FakeSystem::Bar* bar = fake_.FindBar(hwnd_);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->edge, velkin::kEdgeTop);
  EXPECT_EQ(bar->rc, (velkin::Rect{0, 0, 1024, 47}));
  EXPECT_EQ(bar->callbackMessage, kAppBarNotify);
  // Registration comes before the first position is asked for.
  ASSERT_FALSE(fake_.appBarCalls.empty());
  EXPECT_LT(FirstCall(fake_, velkin::kAbmNew), FirstCall(fake_, velkin::kAbmQueryPos));
  EXPECT_EQ(fake_.CountCalls(velkin::kAbmNew), 1u);
  EXPECT_EQ(WindowRect().bottom - WindowRect().top, expected_layout::kBarHeight);
}

TEST_F(BarTest, TheWindowIsAnUntitledToolPopup) {
  CreatePanel();
  EXPECT_EQ(GetWindowTextLengthA(hwnd_), 0);
  // Windows adds WS_CLIPSIBLINGS to every top-level window.
  const DWORD style = static_cast<DWORD>(GetWindowLongA(hwnd_, GWL_STYLE)) & ~WS_CLIPSIBLINGS;
  EXPECT_EQ(style, expected_layout::kBarStyle);
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(hwnd_, GWL_EXSTYLE));
  EXPECT_NE(exStyle & WS_EX_TOOLWINDOW, 0u);
  EXPECT_EQ(exStyle & WS_EX_TOPMOST, 0u);
  EXPECT_EQ(GetClassLongPtrA(hwnd_, GCL_STYLE), static_cast<ULONG_PTR>(expected_layout::kBarClassStyle));
  EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrA(hwnd_, GCLP_HCURSOR)), LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrA(hwnd_, GCLP_HBRBACKGROUND)), GetSysColorBrush(COLOR_BTNFACE));
  EXPECT_EQ(GetClassLongPtrA(hwnd_, GCLP_HICON), static_cast<ULONG_PTR>(0));
}

TEST_F(BarTest, GoesBelowABarAlreadyOnTheTopEdgeAndKeeps47Pixels) {
  static int other;
  fake_.AddPlacedBar(&other, velkin::kEdgeTop, velkin::Rect{0, 0, 1024, 30});
  CreatePanel();
  EXPECT_EQ(WindowRect(), (RECT{0, 30, 1024, 77}));
}

TEST_F(BarTest, DocksAgainAfterAnyMove) {
  CreatePanel();
  // Along the edge: straight back.
  SetWindowPos(hwnd_, nullptr, 300, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  AfxPumpMessages();
  EXPECT_EQ(WindowRect(), kDocked);
  MoveWindow(hwnd_, 100, 0, 400, 47, TRUE);
  AfxPumpMessages();
  EXPECT_EQ(WindowRect(), kDocked);
  // Anywhere: stretched across the screen again and claimed from the shell, which decides
  // where along the edge it may stay.
  const size_t setsBefore = fake_.CountCalls(velkin::kAbmSetPos);
  MoveWindow(hwnd_, 100, 300, 400, 47, TRUE);
  AfxPumpMessages();
  const RECT moved = WindowRect();
  EXPECT_EQ(moved.left, 0);
  EXPECT_EQ(moved.right, 1024);
  EXPECT_EQ(moved.bottom - moved.top, expected_layout::kBarHeight);
  EXPECT_GT(fake_.CountCalls(velkin::kAbmSetPos), setsBefore);
  const FakeSystem::Bar* bar = fake_.FindBar(hwnd_);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->rc, (velkin::Rect{moved.left, moved.top, moved.right, moved.bottom}));
}

// A size with a zero side, and a notification the bar has no use for, are handled (0) and
// neither ask the shell anything nor move the bar.
TEST_F(BarTest, ASizeWithAZeroSideOrAnotherNotificationChangesNothing) {
  CreatePanel();
  const size_t calls = fake_.appBarCalls.size();
  const struct { UINT message; WPARAM code; LPARAM param; } rows[] = {
      {WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0)},   {WM_SIZE, SIZE_RESTORED, MAKELPARAM(0, 30)},
      {WM_SIZE, SIZE_RESTORED, MAKELPARAM(500, 0)},  {kAppBarNotify, velkin::kAbnStateChange, 0},
      {kAppBarNotify, velkin::kAbnWindowArrange, 1}, {kAppBarNotify, 77, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.message << " " << row.code);
    EXPECT_EQ(SendMessageA(hwnd_, row.message, row.code, row.param), 0);
    EXPECT_EQ(fake_.appBarCalls.size(), calls);
    EXPECT_EQ(WindowRect(), kDocked);
  }
}

TEST_F(BarTest, ASizeTakesTheNewThicknessAcrossTheStrip) {
  CreatePanel();
  // Someone makes the bar 60 pixels tall: it stays docked and keeps the new thickness.
  SetWindowPos(hwnd_, nullptr, 0, 0, 1024, 60, SWP_NOZORDER | SWP_NOMOVE);
  AfxPumpMessages();
  EXPECT_EQ(WindowRect(), (RECT{0, 0, 1024, 60}));
  // The next docking keeps it.
  SendMessageA(hwnd_, kAppBarNotify, velkin::kAbnPosChanged, 0);
  EXPECT_EQ(WindowRect(), (RECT{0, 0, 1024, 60}));
}

TEST_F(BarTest, EveryHitIsAClientHit) {
  CreatePanel();
  const RECT r = WindowRect();
  for (int x = r.left; x < r.right; x += 37) {
    for (int y = r.top; y < r.bottom; y += 3) {
      EXPECT_EQ(SendMessageA(hwnd_, WM_NCHITTEST, 0, MAKELPARAM(x, y)), HTCLIENT) << x << "," << y;
    }
  }
  // The very frame and the corners too.
  const POINT edges[] = {{r.left, r.top}, {r.right - 1, r.bottom - 1}, {r.left, r.bottom - 1},
                         {r.right - 1, r.top}, {500, r.bottom - 1}};
  for (const POINT& p : edges) {
    EXPECT_EQ(SendMessageA(hwnd_, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)), HTCLIENT) << p.x << "," << p.y;
  }
}

TEST_F(BarTest, AFullScreenApplicationPushesTheBarDownAndItsEndMakesItTopmost) {
  CreatePanel();
  // Another top-level window that the bar can go below.
  HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 100, 50, 50,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);

  EXPECT_EQ(SendMessageA(hwnd_, kAppBarNotify, velkin::kAbnFullScreenApp, 1), 0);
  EXPECT_EQ(GetWindow(hwnd_, GW_HWNDNEXT), nullptr) << "the bar is the last window";
  EXPECT_EQ(GetWindowLongA(hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

  EXPECT_EQ(SendMessageA(hwnd_, kAppBarNotify, velkin::kAbnFullScreenApp, 0), 0);
  EXPECT_NE(GetWindowLongA(hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  // Above the other window now, although that one was placed later.
  bool otherSeen = false;
  for (HWND w = GetTopWindow(nullptr); w != nullptr && w != hwnd_; w = GetWindow(w, GW_HWNDNEXT)) {
    otherSeen = otherSeen || w == other;
  }
  EXPECT_FALSE(otherSeen);
  EXPECT_EQ(WindowRect(), kDocked) << "the z-order changes, not the place";
  DestroyWindow(other);
}

TEST_F(BarTest, ADisplayChangeStoresTheSizeAndTheShellsNoticeMovesTheBar) {
  CreatePanel();
  const size_t calls = fake_.appBarCalls.size();
  EXPECT_EQ(SendMessageA(hwnd_, WM_DISPLAYCHANGE, 24, MAKELPARAM(800, 600)), 0);
  EXPECT_EQ(WindowRect(), kDocked) << "nothing moves on the display change";
  EXPECT_EQ(fake_.appBarCalls.size(), calls);

  fake_.screen = velkin::Size{800, 600};
  SendMessageA(hwnd_, kAppBarNotify, velkin::kAbnPosChanged, 0);
  AfxPumpMessages();
  EXPECT_EQ(WindowRect(), (RECT{0, 0, 800, 47}));
}

TEST_F(BarTest, RegistersAgainWhenTheShellRestarts) {
  CreatePanel();
  fake_.RestartShell();
  const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  SendMessageA(hwnd_, taskbarCreated, 0, 0);
  AfxPumpMessages();
  const FakeSystem::Bar* bar = fake_.FindBar(hwnd_);
  ASSERT_NE(bar, nullptr) << "registered again";
  EXPECT_TRUE(bar->placed);
  EXPECT_EQ(bar->rc, (velkin::Rect{0, 0, 1024, 47}));
  EXPECT_EQ(WindowRect(), kDocked);
}

TEST_F(BarTest, ARefusedSecondRegistrationIsHarmless) {
  CreatePanel();
  fake_.refuseSecondRegistration = true;
  SendMessageA(hwnd_, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  AfxPumpMessages();
  EXPECT_EQ(fake_.CountCalls(velkin::kAbmNew), 2u);
  // After the refused registration the bar still claims its strip.
  const size_t secondNew = FirstCall(fake_, velkin::kAbmNew, FirstCall(fake_, velkin::kAbmNew) + 1);
  EXPECT_TRUE(FirstCall(fake_, velkin::kAbmSetPos, secondNew) < fake_.appBarCalls.size());
  EXPECT_EQ(fake_.bars.size(), 1u);
  EXPECT_EQ(WindowRect(), kDocked);
}

TEST_F(BarTest, ClosingRemovesTheBarAndDeletesEveryObject) {
  CreatePanel();
  EXPECT_EQ(CWnd::LiveObjectCount(), liveBefore_ + kPanelObjects) << "the panel with its controls and dialogs";
  HWND tooltip = FindToolTip();
  ASSERT_TRUE(IsWindow(tooltip));
  SendMessageA(hwnd_, WM_CLOSE, 0, 0);
  AfxPumpMessages();
  EXPECT_FALSE(IsWindow(hwnd_));
  EXPECT_FALSE(IsWindow(tooltip));
  EXPECT_EQ(fake_.FindBar(hwnd_), nullptr);
  EXPECT_EQ(fake_.appBarCalls.back().message, velkin::kAbmRemove);
  EXPECT_EQ(CWnd::LiveObjectCount(), liveBefore_);
}

TEST_F(BarTest, APanelThatNeverMadeItsWindowLeavesNothingBehind) {
  CPanelWnd* panel = new CPanelWnd(fake_);
  EXPECT_EQ(CWnd::LiveObjectCount(), liveBefore_ + kPanelObjects) << "the panel, its controls and dialogs";
  delete panel;
  EXPECT_EQ(CWnd::LiveObjectCount(), liveBefore_);
  EXPECT_TRUE(fake_.appBarCalls.empty());
}

}  // namespace
