// The context menu, the minimize commands, the exclusion-list and picker dialogs and the about
// box, with real windows that the test creates among the top-level windows.
#include <algorithm>

#include <gtest/gtest-spi.h>

#include "bar_fixture.h"
#include "system/win32_system.h"

namespace {

// The scripted machine, but with the real top-level windows.
class RealWindowsFake : public velkin::FakeSystem {
 public:
  velkin::WindowHandle FirstWindow(velkin::WindowHandle of) override { return real_.FirstWindow(of); }
  velkin::WindowHandle NextWindow(velkin::WindowHandle after) override { return real_.NextWindow(after); }
  bool WindowVisible(velkin::WindowHandle w) override { return real_.WindowVisible(w); }
  std::string WindowTitle(velkin::WindowHandle w) override { return real_.WindowTitle(w); }
  bool WindowOwned(velkin::WindowHandle w) override { return real_.WindowOwned(w); }
  void ShowMinimized(velkin::WindowHandle w) override { real_.ShowMinimized(w); }

 private:
  velkin::Win32System real_;
};

class WindowCommandsTest : public BarTest {
 protected:
  void SetUp() override {
    BarTest::SetUp();
    machine_ = &real_;
    real_.files = fake_.files;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VelkinTestApp";
    RegisterClassA(&wc);
  }

  void TearDown() override {
    for (HWND window : windows_) DestroyWindow(window);
    BarTest::TearDown();
  }

  // An application window; the last one made is the topmost. Its code page 932 title is made
  // UTF-16 here, so that it is the same whatever the ANSI code page.
  HWND MakeWindow(const std::string& title, bool visible = true, HWND owner = nullptr) {
    const DWORD style = (owner != nullptr ? WS_POPUP | WS_CAPTION : WS_OVERLAPPEDWINDOW) | (visible ? WS_VISIBLE : 0);
    HWND window = CreateWindowExW(0, L"VelkinTestApp", WideOf932(title).c_str(), style, 300, 200, 200, 100, owner,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(window, nullptr);
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    windows_.push_back(window);
    return window;
  }

  std::vector<std::string> ListBoxEntries(HWND dialog) {
    std::vector<std::string> entries;
    HWND list = GetDlgItem(dialog, IDC_TITLE_LIST);
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      std::wstring text(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
      text.resize(static_cast<size_t>(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]))));
      entries.push_back(From932Wide(text.c_str()));
    }
    return entries;
  }

  static void Click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
  static void Pick(HWND picker, const std::string& title) {
    HWND list = GetDlgItem(picker, IDC_TITLE_LIST);
    const LRESULT index = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(WideOf932(title).c_str()));
    EXPECT_NE(index, LB_ERR) << title << " is offered";
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Click(picker, IDC_SELECT);
  }

  // nonapp.dat for the panel made next.
  void SetExclusions(const std::vector<std::string>& titles) { real_.files[kExclusionPath] = Lines(titles); }

  // Opens the exclusion list with its command and runs the script on the dialogs it shows.
  size_t EditList(std::vector<DialogStep> steps) {
    return RunDialogScript(std::move(steps), [this] { Command(ID_EDIT_EXCLUSIONS); });
  }

  // The panel's list as it saves it: the end of the session writes it to nonapp.dat.
  std::vector<std::string> SavedExclusions() {
    SendMessageA(hwnd_, WM_QUERYENDSESSION, 0, 0);
    std::vector<std::string> titles;
    const std::string& bytes = real_.files[kExclusionPath];
    for (size_t start = 0, end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
      titles.push_back(bytes.substr(start, end - start));
    }
    return titles;
  }

  RealWindowsFake real_;
  std::vector<HWND> windows_;
};

// The context menu as it is shown: where, and each slot item's and suspend's text and state,
// read from the menu window while it is up.
struct ShownMenu {
  bool seen = false;
  RECT rect{};
  std::map<UINT, std::pair<std::string, bool>> items;  // id -> text, grayed
  std::string Text(UINT id) const { return items.count(id) != 0 ? items.at(id).first : "(none)"; }
  bool Grayed(UINT id) const { return items.count(id) != 0 && items.at(id).second; }
};
ShownMenu g_shownMenu;

void CALLBACK ReadAndCloseMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND window = FindWindowA("#32768", nullptr);
  if (window == nullptr || !IsWindowVisible(window)) return;
  g_shownMenu.seen = true;
  GetWindowRect(window, &g_shownMenu.rect);
  HMENU menu = reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0));
  std::vector<UINT> ids = {ID_SUSPEND_MENU};
  for (UINT id = ID_MINIMIZE_SLOT_FIRST; id <= ID_MINIMIZE_SLOT_LAST; ++id) ids.push_back(id);
  for (const UINT id : ids) {
    wchar_t text[256] = {};
    if (GetMenuStringW(menu, id, text, 256, MF_BYCOMMAND) == 0 && GetMenuState(menu, id, MF_BYCOMMAND) == ~0u) {
      continue;
    }
    g_shownMenu.items[id] = {From932Wide(text), (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0};
  }
  KillTimer(nullptr, timer);
  EndMenu();
}

// Right-clicks the bar at (x, y) and reads the menu while it is shown.
ShownMenu RightClick(HWND bar, int x = 200, int y = 30) {
  g_shownMenu = ShownMenu();
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, ReadAndCloseMenu);
  SendMessageA(bar, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(bar), MAKELPARAM(x, y));
  KillTimer(nullptr, timer);
  return g_shownMenu;
}

const char kPickCaption[] = "現在表示されているウィンドウの一覧";
const char kListCaption[] = "最小化したくないアプリケーションの選択";

TEST_F(WindowCommandsTest, TheMenuListsThreeWindowsAndGraysTheRest) {
  CreatePanel();
  MakeWindow("First");
  MakeWindow("メモ帳 - 表示ソフト");
  MakeWindow("Third & co");
  const ShownMenu m = RightClick(hwnd_);
  ASSERT_TRUE(m.seen);
  // From the top of the stacking order down: the last made first.
  EXPECT_EQ(m.Text(32797), "Third & co");
  EXPECT_EQ(m.Text(32798), "メモ帳 - 表示ソフト");
  EXPECT_EQ(m.Text(32799), "First");
  for (UINT id = 32797; id <= 32799; ++id) EXPECT_FALSE(m.Grayed(id)) << id;
  for (UINT id = 32800; id <= 32806; ++id) {
    EXPECT_EQ(m.Text(id), "選択できません") << id;
    EXPECT_TRUE(m.Grayed(id)) << id;
  }
  EXPECT_FALSE(m.Grayed(ID_SUSPEND_MENU)) << "Windows 98 offers suspend";
}

TEST_F(WindowCommandsTest, TwelveWindowsFillAllTenSlotsFromTheTop) {
  CreatePanel();
  for (int i = 1; i <= 12; ++i) MakeWindow("Window " + std::to_string(i));
  const ShownMenu m = RightClick(hwnd_);
  ASSERT_TRUE(m.seen);
  for (UINT id = 32797; id <= 32806; ++id) {
    EXPECT_EQ(m.Text(id), "Window " + std::to_string(12 - static_cast<int>(id - 32797))) << id;
    EXPECT_FALSE(m.Grayed(id)) << id;
  }
  // The tenth slot's command reaches the tenth window.
  Command(32806);
  EXPECT_TRUE(IsIconic(windows_[2]));
}

TEST_F(WindowCommandsTest, WithNoCandidateEveryItemIsGrayedAndSuspendToo) {
  real_.version = {4, 0, 950, 1};
  SetExclusions({"Excluded one"});
  CreatePanel();
  MakeWindow("Excluded one");
  MakeWindow("", true);
  MakeWindow("Hidden", false);
  MakeWindow("Owned", true, windows_.front());
  const ShownMenu m = RightClick(hwnd_);
  ASSERT_TRUE(m.seen);
  for (UINT id = 32797; id <= 32806; ++id) {
    EXPECT_EQ(m.Text(id), "選択できません") << id;
    EXPECT_TRUE(m.Grayed(id)) << id;
  }
  EXPECT_TRUE(m.Grayed(ID_SUSPEND_MENU));
}

TEST_F(WindowCommandsTest, ARightClickShowsTheMenuAtItsPoint) {
  CreatePanel();
  const ShownMenu m = RightClick(hwnd_, 200, 30);
  ASSERT_TRUE(m.seen) << "the menu was shown and the handler returned once it closed";
  EXPECT_EQ(m.rect.left, 200);
  EXPECT_EQ(m.rect.top, 30);
  EXPECT_TRUE(IsWindow(hwnd_));
}

// The menu as the resource holds it: each item's text and command, submenus indented.
void Describe(HMENU menu, int depth, std::vector<std::string>* lines) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t wide[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(i), wide, 128, MF_BYPOSITION);
    const std::string text = From932Wide(wide);
    const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    HMENU sub = GetSubMenu(menu, i);
    std::string line(static_cast<size_t>(depth) * 2, ' ');
    if (sub != nullptr) {
      lines->push_back(line + text + " >");
      Describe(sub, depth + 1, lines);
    } else if (state & MF_SEPARATOR) {
      lines->push_back(line + "--");
    } else {
      lines->push_back(line + text + " " + std::to_string(GetMenuItemID(menu, i)) +
                       ((state & (MF_GRAYED | MF_CHECKED)) != 0 ? " (marked)" : ""));
    }
  }
}

TEST_F(WindowCommandsTest, TheMenuResourceHoldsTheTree) {
  CMenu menu;
  ASSERT_TRUE(menu.LoadMenu(IDR_CONTEXTMENU));
  std::vector<std::string> lines;
  Describe(menu.GetSafeHmenu(), 0, &lines);
  const std::vector<std::string> expected = {
      "afsd >",
      "  空き容量の単位 >", "    Bytes 32774", "    kBytes 32775", "    MBytes 32776", "    GBytes 32777",
      "  総容量の単位 >", "    Bytes 32778", "    kBytes 32779", "    MBytes 32780", "    GBytes 32781",
      "  メモリの単位 >", "    Bytes 32771", "    kBytes 32772", "    MBytes 32782",
      "  --",
      "  小数点 >", "    ０ケタ 32783", "    １ケタ 32784", "    ２ケタ 32785", "    ３ケタ 32786", "    ４ケタ 32787",
      "  --",
      "  バージョン情報 >", "    Windows... 32789", "    このプログラム... 32790",
      "  おまけ >", "    Windowsのみ再起動 32791", "    システムを再起動 32796", "    Windows終了 32792",
      "    サスペンド 32808", "    --", "    他アプリケーションを最小化 >",
      "      1 32797", "      2 32798", "      3 32799", "      4 32800", "      5 32801", "      6 32802",
      "      7 32803", "      8 32804", "      9 32805", "      10 32806", "      全て最小化 32807",
      "    最小化したくないアプリの追加／削除... 32810",
      "  --",
      "  終了 32773",
  };
  EXPECT_EQ(lines, expected);
}

TEST_F(WindowCommandsTest, MinimizeAllLeavesTheProtectedAloneAndTakesTheRest) {
  SetExclusions({"Keep this"});
  CreatePanel();
  std::vector<HWND> others;
  for (int i = 1; i <= 12; ++i) others.push_back(MakeWindow("Application " + std::to_string(i)));
  HWND excluded = MakeWindow("Keep this");
  HWND prefix = MakeWindow("Keep this too");
  HWND untitled = MakeWindow("");
  HWND hidden = MakeWindow("Hidden one", false);
  HWND owned = MakeWindow("Owned one", true, others.front());
  for (const UINT command : {static_cast<UINT>(IDC_MINIMIZEALL), static_cast<UINT>(ID_MINIMIZEALL_MENU)}) {
    SCOPED_TRACE(command);
    for (HWND w : windows_) {
      if (IsWindowVisible(w)) ShowWindow(w, SW_RESTORE);
    }
    Command(command);
    for (HWND w : others) EXPECT_TRUE(IsIconic(w));
    EXPECT_TRUE(IsIconic(prefix)) << "a title that merely begins with an entry is not protected";
    EXPECT_FALSE(IsIconic(excluded));
    EXPECT_FALSE(IsIconic(untitled));
    EXPECT_FALSE(IsIconic(hidden));
    EXPECT_FALSE(IsIconic(owned));
    EXPECT_FALSE(IsIconic(hwnd_)) << "the bar stays";
  }
}

TEST_F(WindowCommandsTest, ASlotCommandActsByTitleAndNotOnAClosedWindow) {
  CreatePanel();
  HWND a = MakeWindow("Alpha window");
  HWND b = MakeWindow("Beta window");
  ASSERT_EQ(RightClick(hwnd_).Text(32797), "Beta window");
  Command(32798);
  EXPECT_TRUE(IsIconic(a));
  EXPECT_FALSE(IsIconic(b));
  ShowWindow(a, SW_RESTORE);
  DestroyWindow(b);
  Command(32797);  // Beta is gone: nothing happens
  EXPECT_FALSE(IsIconic(a));
  // A slot never filled minimizes nothing, not even an untitled window.
  Command(32806);
  EXPECT_FALSE(IsIconic(hwnd_));
}

TEST_F(WindowCommandsTest, AddingThroughThePickerKeepsSortedOrderAndDuplicates) {
  SetExclusions({"Zeta", "Alpha already listed"});
  CreatePanel();
  MakeWindow("Mid window");
  MakeWindow("Alpha already listed");
  std::vector<std::string> shownAtOpening, offered, shownAtClose;
  const size_t steps = EditList({
      {kListCaption, [&](HWND d) { shownAtOpening = ListBoxEntries(d); Click(d, IDC_ADD); }},
      {kPickCaption, [&](HWND p) { offered = ListBoxEntries(p); Pick(p, "Mid window"); }},
      {kListCaption, [&](HWND d) { Click(d, IDC_ADD); }},
      {kPickCaption, [&](HWND p) { Pick(p, "Mid window"); }},
      {kListCaption, [&](HWND d) { shownAtClose = ListBoxEntries(d); Click(d, IDC_CLOSE_LIST); }},
  });
  ASSERT_EQ(steps, 5u);
  EXPECT_EQ(shownAtOpening, (std::vector<std::string>{"Alpha already listed", "Zeta"}));
  // The picker offers excluded windows too, and never the bar or the dialogs.
  EXPECT_NE(std::find(offered.begin(), offered.end(), "Alpha already listed"), offered.end());
  EXPECT_EQ(std::find(offered.begin(), offered.end(), kListCaption), offered.end());
  EXPECT_EQ(shownAtClose, (std::vector<std::string>{"Alpha already listed", "Mid window", "Mid window", "Zeta"}));
  EXPECT_EQ(real_.files[kExclusionPath], "Zeta\r\nAlpha already listed\r\n") << "written only at exit";
  EXPECT_EQ(SavedExclusions(),
            (std::vector<std::string>{"Alpha already listed", "Mid window", "Mid window", "Zeta"}));
}

TEST_F(WindowCommandsTest, TheTwentyFirstEntryIsRefused) {
  std::vector<std::string> twenty;
  for (int i = 0; i < 20; ++i) twenty.push_back("Entry " + std::to_string(100 + i));
  SetExclusions(twenty);
  CreatePanel();
  MakeWindow("One more");
  size_t shownAfter = 0;
  const size_t steps = EditList({
      {kListCaption, [&](HWND d) { Click(d, IDC_ADD); }},
      {kPickCaption, [&](HWND p) { Pick(p, "One more"); }},
      {kListCaption, [&](HWND d) { shownAfter = ListBoxEntries(d).size(); Click(d, IDC_CLOSE_LIST); }},
  });
  ASSERT_EQ(steps, 3u);
  ASSERT_TRUE(ShowedOneBox(real_, "これ以上リストの項目を増やすことはできません!!", "警告", MB_OK | MB_ICONHAND));
  EXPECT_EQ(shownAfter, 20u);
  EXPECT_EQ(SavedExclusions(), twenty);
}

TEST_F(WindowCommandsTest, DeleteTakesTheSelectionOrNothing) {
  SetExclusions({"A", "B", "C"});
  CreatePanel();
  std::vector<std::string> afterNone, afterOne;
  const size_t steps = EditList({
      {kListCaption,
       [&](HWND d) {
         SendMessageA(GetDlgItem(d, IDC_TITLE_LIST), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
         SendMessageA(GetDlgItem(d, IDC_DELETE), BM_CLICK, 0, 0);
         afterNone = ListBoxEntries(d);
         SendMessageA(GetDlgItem(d, IDC_TITLE_LIST), LB_SETCURSEL, 1, 0);
         SendMessageA(GetDlgItem(d, IDC_DELETE), BM_CLICK, 0, 0);
         afterOne = ListBoxEntries(d);
         Click(d, IDC_CLOSE_LIST);
       }},
  });
  ASSERT_EQ(steps, 1u);
  EXPECT_EQ(afterNone, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(afterOne, (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(SavedExclusions(), (std::vector<std::string>{"A", "C"}));
}

TEST_F(WindowCommandsTest, EscAndTheCloseBoxDropTheEdits) {
  SetExclusions({"Kept"});
  CreatePanel();
  MakeWindow("Added then dropped");
  for (const bool closeBox : {false, true}) {
    SCOPED_TRACE(closeBox ? "close box" : "Esc");
    std::vector<std::string> nextOpening;
    EditList({
        {kListCaption, [&](HWND d) { Click(d, IDC_ADD); }},
        {kPickCaption, [&](HWND p) { Pick(p, "Added then dropped"); }},
        {kListCaption,
         [&](HWND d) {
           EXPECT_EQ(ListBoxEntries(d).size(), 2u);
           PostMessageA(d, closeBox ? WM_SYSCOMMAND : WM_COMMAND, closeBox ? SC_CLOSE : IDCANCEL, 0);
         }},
    });
    EXPECT_EQ(SavedExclusions(), (std::vector<std::string>{"Kept"}));
    EditList({{kListCaption, [&](HWND d) { nextOpening = ListBoxEntries(d); Click(d, IDC_CLOSE_LIST); }}});
    EXPECT_EQ(nextOpening, (std::vector<std::string>{"Kept"}));
  }
}

TEST_F(WindowCommandsTest, ThePickerTakesOnlyASelectedTitle) {
  SetExclusions({});
  CreatePanel();
  MakeWindow("Offered");
  bool stillOpen = false;
  const size_t steps = EditList({
      {kListCaption, [&](HWND d) { Click(d, IDC_ADD); }},
      // 選択 and Enter with nothing selected leave the picker open; then キャンセル.
      {kPickCaption,
       [&](HWND p) {
         SendMessageA(GetDlgItem(p, IDC_TITLE_LIST), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
         SendMessageA(GetDlgItem(p, IDC_SELECT), BM_CLICK, 0, 0);
         SendMessageA(p, WM_COMMAND, IDOK, 0);
         stillOpen = IsWindow(p) && IsWindowVisible(p);
         Click(p, IDC_PICK_CANCEL);
       }},
      {kListCaption, [&](HWND d) { EXPECT_TRUE(ListBoxEntries(d).empty()); Click(d, IDC_CLOSE_LIST); }},
  });
  ASSERT_EQ(steps, 3u);
  EXPECT_TRUE(stillOpen);
  EXPECT_TRUE(SavedExclusions().empty());
}

TEST_F(WindowCommandsTest, ListBoxTitlesOfAnyLengthComeBackWhole) {
  SetExclusions({});
  CreatePanel();
  const std::string longTitle = "長いタイトル " + std::string(150, 'x') + " 表示ソフト";
  MakeWindow(longTitle);
  EditList({
      {kListCaption, [&](HWND d) { Click(d, IDC_ADD); }},
      {kPickCaption, [&](HWND p) { Pick(p, longTitle); }},
      {kListCaption, [&](HWND d) { Click(d, IDC_CLOSE_LIST); }},
  });
  EXPECT_EQ(SavedExclusions(), (std::vector<std::string>{longTitle}));
}

// A dialog's command posted again while it is open shows no second one; exit while it is open
// (the button, WM_CLOSE, the menu) ends every dialog and the program, both files written once.
TEST_F(WindowCommandsTest, ADialogOpensOnceAndExitEndsItWithTheProgram) {
  const struct { const char* caption; UINT command; UINT exitMessage; WPARAM exitCommand; } rows[] = {
      {kListCaption, ID_EDIT_EXCLUSIONS, WM_COMMAND, IDC_EXIT},
      {"Windowsバージョン情報", ID_WINVERSION, WM_CLOSE, 0},
      {"このアプリケーションについて", ID_ABOUT, WM_COMMAND, ID_APP_EXIT_MENU}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.caption);
    CreatePanel();
    CWinApp app;
    app.m_pMainWnd = panel_;
    real_.queries.clear();
    int shown = 0;
    const auto post = [&](UINT message, WPARAM command) { PostMessageA(hwnd_, message, command, 0); };
    RunDialogScript({{row.caption, [&](HWND) { post(WM_COMMAND, row.command); post(WM_COMMAND, row.command); }},
                     {row.caption,
                      [&](HWND) {
                        for (HWND d = nullptr; (d = FindWindowExW(nullptr, d, L"#32770", WideOf932(row.caption).c_str())) != nullptr;) {
                          ++shown;
                        }
                        post(row.exitMessage, row.exitCommand);
                      }}},
                    [&] { SendMessageA(hwnd_, WM_COMMAND, row.command, 0); });
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(IsWindow(hwnd_));
    EXPECT_EQ(real_.CountQueries("WriteFile"), 2u) << "both files, once";
    EXPECT_EQ(CWnd::LiveObjectCount(), liveBefore_);
    EXPECT_FALSE(AfxPumpMessages()) << "WM_QUIT for the message loop";
  }
}

TEST_F(WindowCommandsTest, TheAboutBoxShowsTheProgramTwiceAlike) {
  CreatePanel();
  for (int showing = 0; showing < 2; ++showing) {
    std::string text;
    bool icon = false;
    const bool shown = WithDialog(
        "このアプリケーションについて",
        [&](HWND d) {
          for (HWND c = GetWindow(d, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
            if ((GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
              icon = SendMessageA(c, STM_GETICON, 0, 0) != 0;
            } else if (GetDlgCtrlID(c) != IDOK) {
              text = TextOf(c);
            }
          }
          EXPECT_EQ(TextOf(GetDlgItem(d, IDOK)), "OK");
          Click(d, IDOK);
        },
        [&] { Command(ID_ABOUT); });
    ASSERT_TRUE(shown);
    EXPECT_TRUE(icon);
    EXPECT_EQ(text, "ハードディスクの残量表示プログラム\r\nVelkin Ver 2.0β1\r\n（タスクバーみたいになったよ)");
  }
  EXPECT_TRUE(IsWindow(hwnd_));
}

// A dialog the script leaves open fails the test, by its caption, and is closed in bounded time.
TEST_F(WindowCommandsTest, ADialogLeftOpenFailsTheScript) {
  CreatePanel();
  const DWORD started = GetTickCount();
  size_t ran = 0;
  EXPECT_NONFATAL_FAILURE(ran = RunDialogScript({{"このアプリケーションについて", [](HWND) {}}},
                                                [&] { Command(ID_ABOUT); }),
                          "\"このアプリケーションについて\" was still open");
  EXPECT_EQ(ran, 1u);
  EXPECT_LT(GetTickCount() - started, 15000u);
  EXPECT_TRUE(IsWindow(hwnd_));
}

}  // namespace
