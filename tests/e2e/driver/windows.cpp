// Minimizing the other windows and the list of those never to minimize (nonapp.dat), over
// top-level windows the driver makes on a thread of its own: the context menu, the minimize-all
// button and menu command, the exclusion list's dialog and its picker, and a full list.
// The program starts in the driver's current directory, with the settings run_e2e.sh wrote.
#include "tests/e2e/driver/driver.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace driver {
namespace {

const WPARAM kMinimizeAllCommand = 32807;
const WPARAM kEditExclusionsCommand = 32810;

// The exclusion list's dialog, and the picker it opens to add a title.
const char *const kExclusionCaption = "最小化したくないアプリケーションの選択";
const int kTitleListId = 1015;
const int kAddButtonId = 1016;
const int kDeleteButtonId = 1017;
const int kCloseListButtonId = 1018;
const char *const kPickerCaption = "現在表示されているウィンドウの一覧";
const int kSelectButtonId = 1017;
const int kPickCancelButtonId = 1018;
const char *const kFullListText = "これ以上リストの項目を増やすことはできません!!";
const size_t kExclusionLimit = 20;

// How long a window may take to show a change the program made to it, and how long the driver
// then watches the windows that must stay as they are.
const DWORD kWindowWaitMs = 5000;
const DWORD kSettleMs = 1000;

// The titles run_e2e.sh writes to nonapp.dat, in no order; the dialog's list box sorts them, and
// "閉じる" hands the list on in the box's order.
const char *const kKeepTitle = "Velkin keep me";
const char *const kPickTitle = "Velkin pick me";
const char *const kOtherTitle = "Velkin other";
const std::vector<std::string> kStoredSorted = {"Aardvark notes", "Velkin keep me", "Zebra notes",
                                                "表示ソフト メモ"};
const std::vector<std::string> kEditedSorted = {"Aardvark notes", "Velkin keep me", "Velkin pick me",
                                                "Zebra notes", "表示ソフト メモ"};

// The 20 titles of a full list, in order: "Velkin full 01" .. "Velkin full 20".
std::vector<std::string> full_list() {
  std::vector<std::string> titles;
  for (size_t i = 1; i <= kExclusionLimit; ++i) titles.push_back("Velkin full " + std::string(i < 10 ? "0" : "") + num(i));
  return titles;
}

// A top-level window of the driver's own for the program to find.
struct WindowPlan {
  std::string name;  // for the checks' names
  std::string title;  // CP932, as the driver reads it
  bool visible;
  int owner;             // the index of the window that owns it (made before it), -1 for none
  bool topmost = false;  // WS_EX_TOPMOST: above every other window from the start
  std::wstring wide = {};  // the title as made, when CP932 cannot hold it; else made from `title`
};

// The driver's windows, on a thread of their own that pumps messages: ShowWindow from the
// program on a window of another thread waits for that thread to answer, so the windows must
// not belong to the driver's main thread, which sits in Sleep and SendMessageTimeout.
struct WindowThread {
  std::vector<WindowPlan> plans;
  std::vector<HWND> windows;
  std::string error;
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr), thread = nullptr;
  DWORD thread_id = 0;

  bool start(std::string *why) {
    thread = CreateThread(nullptr, 0, &WindowThread::run, this, 0, &thread_id);
    const bool up = ready && thread && WaitForSingleObject(ready, 10000) == WAIT_OBJECT_0;
    *why = up ? error : "the window thread never got ready";
    return why->empty();
  }
  ~WindowThread() {
    if (thread) {
      PostThreadMessageA(thread_id, WM_QUIT, 0, 0);
      WaitForSingleObject(thread, 5000);
      CloseHandle(thread);
    }
    if (ready) CloseHandle(ready);
  }

  size_t index(const std::string &name) const {
    size_t i = 0;
    while (i < plans.size() && plans[i].name != name) ++i;
    return i;
  }
  HWND window(const std::string &name) const { return index(name) < windows.size() ? windows[index(name)] : nullptr; }
  std::string title(const std::string &name) const { return index(name) < plans.size() ? plans[index(name)].title : ""; }

  static DWORD WINAPI run(void *p) {
    WindowThread *self = (WindowThread *)p;
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue, for WM_QUIT
    // Unicode windows with UTF-16 titles: the same titles whatever the ANSI code page.
    WNDCLASSW wc = {0, DefWindowProcW, 0, 0, GetModuleHandleW(nullptr), nullptr, LoadCursorA(nullptr, IDC_ARROW),
                    (HBRUSH)(COLOR_WINDOW + 1), nullptr, L"VelkinE2EWindow"};
    RegisterClassW(&wc);
    for (size_t i = 0; i < self->plans.size(); ++i) {
      const WindowPlan &s = self->plans[i];
      HWND owner = s.owner >= 0 ? self->windows[s.owner] : nullptr;
      // Owned windows are popups: GetParent gives the owner of a popup only.
      const DWORD style = (owner ? WS_POPUP | WS_CAPTION | WS_SYSMENU : WS_OVERLAPPEDWINDOW) |
                          (s.visible ? WS_VISIBLE : 0);
      const int at = 60 + 24 * (int)i;
      const std::wstring title = s.wide.empty() ? wide_of(s.title) : s.wide;
      HWND h = CreateWindowExW(s.topmost ? WS_EX_TOPMOST : 0, wc.lpszClassName, title.c_str(), style, at, at + 40,
                               320, 200, owner, nullptr, wc.hInstance, nullptr);
      if (!h && self->error.empty()) self->error = "CreateWindowExW " + text_str(s.title) + " error " + num(GetLastError());
      self->windows.push_back(h);
    }
    SetEvent(self->ready);
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    for (auto it = self->windows.rbegin(); it != self->windows.rend(); ++it)
      if (*it) DestroyWindow(*it);
    return 0;
  }
};

std::string window_state(HWND h) {
  if (!IsWindow(h)) return "no window";
  return std::string(IsIconic(h) ? "minimized" : "not minimized") + (IsWindowVisible(h) ? ", visible" : ", hidden");
}

// The titles the program may minimize, by the driver's own walk of the top-level windows:
// visible, titled, unowned (GetParent), not titled "Program Manager"; read in UTF-16, as CP932.
std::vector<std::string> candidate_titles() {
  std::vector<std::string> titles;
  for (HWND h : top_windows([](HWND h) { return IsWindowVisible(h) && !GetParent(h); })) {
    const std::string title = window_title(h);
    if (!title.empty() && title != "Program Manager") titles.push_back(title);
  }
  return titles;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

bool contains(const std::vector<std::string> &v, const std::string &s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

void click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// Opens the exclusion list's dialog with its menu command, or its picker with the dialog's add
// button; checks that it shows ("<prefix>.shown"), owned by the bar or the dialog
// ("<prefix>.owner"). Null when none showed.
HWND open_owned(Results &res, const std::string &prefix, HWND owner, bool picker) {
  if (picker)
    click(owner, kAddButtonId);
  else
    PostMessageA(owner, WM_COMMAND, kEditExclusionsCommand, 0);
  HWND dialog = check_dialog(res, prefix + ".shown", window_pid(owner), picker ? kPickerCaption : kExclusionCaption,
                             picker ? "clicking ctl" + num(kAddButtonId) : "WM_COMMAND " + num(kEditExclusionsCommand));
  if (dialog)
    res.check(GetWindow(dialog, GW_OWNER) == owner, prefix + ".owner",
              (picker ? "the exclusion list's dialog " : "the bar ") + hex((uintptr_t)owner),
              hex((uintptr_t)GetWindow(dialog, GW_OWNER)));
  return dialog;
}
HWND open_exclusions(Results &res, const std::string &prefix, HWND bar) { return open_owned(res, prefix, bar, false); }
HWND open_picker(Results &res, const std::string &prefix, HWND dialog) { return open_owned(res, prefix, dialog, true); }

// Checks a dialog's list box against `expected`, waiting up to 5 s for it to get there; true
// when it holds them. The entries it holds go to *got.
bool check_list(Results &res, const std::string &name, HWND dialog, const std::vector<std::string> &expected,
                std::vector<std::string> *got = nullptr) {
  std::vector<std::string> items;
  std::string error;
  bool have = false;
  HWND list = GetDlgItem(dialog, kTitleListId);
  wait_for(5000, [&] { return (have = list && list_items(list, &items, &error)) && items == expected; });
  if (!list) error = "no control " + num(kTitleListId);
  if (got) *got = have ? items : std::vector<std::string>();
  return res.check(have && items == expected, name, list_str(expected), have ? list_str(items) : error);
}

// Selects a title in a dialog's list box: found with LB_FINDSTRINGEXACT, asked in UTF-16 (the
// ANSI form is tried too, for the note), then LB_SETCURSEL. The position, or -1 after a FAIL.
int select_title(Results &res, const std::string &name, HWND dialog, const std::string &title) {
  HWND list = GetDlgItem(dialog, kTitleListId);
  const std::wstring wide = wide_of(title);
  DWORD_PTR found = (DWORD_PTR)LB_ERR, ansi = (DWORD_PTR)LB_ERR, selected = (DWORD_PTR)LB_ERR, cur = (DWORD_PTR)LB_ERR;
  const bool answered =
      list && SendMessageTimeoutW(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)wide.c_str(), SMTO_ABORTIFHUNG, 5000, &found);
  if (list && send(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)title.c_str(), &ansi))
    out("note: " + name + ": LB_FINDSTRINGEXACT in ANSI answers " + num((LRESULT)ansi) + ", in UTF-16 " +
        num((LRESULT)found));
  std::vector<std::string> items;
  std::string error;
  const bool have = list && list_items(list, &items, &error);
  const LRESULT pos = (LRESULT)found;
  const bool right = answered && pos >= 0 && have && pos < (LRESULT)items.size() && items[pos] == title;
  if (!res.check(right, name + ".found", "LB_FINDSTRINGEXACT to find " + text_str(title) + " in " + list_str(items),
                 !answered ? "no answer" : "position " + num(pos)))
    return -1;
  send(list, LB_SETCURSEL, pos, 0, &selected);
  send(list, LB_GETCURSEL, 0, 0, &cur);
  if (!res.check((LRESULT)cur == pos, name + ".selected", "entry " + num(pos) + " selected (LB_SETCURSEL)",
                 "entry " + num((LRESULT)cur)))
    return -1;
  return (int)pos;
}

// Picks a title in the picker and clicks "選択"; true when the picker closed.
bool pick(Results &res, const std::string &prefix, HWND picker, const std::string &title) {
  return select_title(res, prefix + ".pick", picker, title) >= 0 &&
         click_closes(res, prefix + ".closed", picker, kSelectButtonId);
}

// Deletes a title from the exclusion list's dialog; "<prefix>.deleted": the list then holds `left`.
void delete_title(Results &res, const std::string &prefix, HWND dialog, const std::string &title,
                  const std::vector<std::string> &left) {
  if (select_title(res, prefix + ".delete", dialog, title) < 0) return;
  click(dialog, kDeleteButtonId);
  check_list(res, prefix + ".deleted", dialog, left);
}

// Once the program was told (`how`) to minimize windows: waits for the windows that must go and
// watches those that must stay; the bar stays as it is.
void check_minimized(Results &res, const std::string &prefix, HWND bar, const WindowThread &windows,
                     const std::vector<std::string> &go, const std::vector<std::string> &stay, const std::string &how) {
  std::vector<HWND> going, staying;
  for (const std::string &t : go) going.push_back(windows.window(t));
  for (const std::string &t : stay) staying.push_back(windows.window(t));
  wait_for(kWindowWaitMs, [&] { return std::all_of(going.begin(), going.end(), IsIconic); });
  // Watches the others for kSettleMs, ending early once one is minimized; the checks tell which.
  wait_for(kSettleMs, [&] { return std::any_of(staying.begin(), staying.end(), IsIconic); }, 50);
  for (const std::string &t : go)
    res.check(IsIconic(windows.window(t)) != FALSE, prefix + ".minimized." + t, "window " + text_str(windows.title(t)) +
              " minimized within " + num(kWindowWaitMs / 1000) + " s of " + how, window_state(windows.window(t)));
  for (const std::string &t : stay)
    res.check(IsWindow(windows.window(t)) && !IsIconic(windows.window(t)), prefix + ".kept." + t,
              "window " + text_str(windows.title(t)) + " not minimized, " + num(kSettleMs / 1000) + " s after the others",
              window_state(windows.window(t)));
  res.check(!IsIconic(bar) && IsWindowVisible(bar), prefix + ".bar_shown", "the bar visible, not minimized",
            window_state(bar));
  res.eq_rect(prefix + ".bar_rect", kBarRect, window_rect(bar));
}

// Clicks minimize-all (the button, or the menu command) and checks what it minimized.
void check_minimize_all(Results &res, const std::string &prefix, HWND bar, const WindowThread &windows,
                        const std::vector<std::string> &go, const std::vector<std::string> &stay, bool by_button) {
  if (by_button)
    PostMessageA(GetDlgItem(bar, kMinimizeAllButton), BM_CLICK, 0, 0);
  else
    PostMessageA(bar, WM_COMMAND, kMinimizeAllCommand, 0);
  check_minimized(res, prefix, bar, windows, go, stay,
                  by_button ? "clicking ctl" + num(kMinimizeAllButton) : "WM_COMMAND " + num(kMinimizeAllCommand));
}

// The windows all as made: the visible ones visible, none minimized.
bool check_windows_made(Results &res, const std::string &prefix, const WindowThread &windows,
                        const std::vector<WindowPlan> &plans) {
  bool all = true;
  std::string got;
  for (const WindowPlan &s : plans) {
    HWND h = windows.window(s.name);
    const bool ok = h && !IsIconic(h) && (IsWindowVisible(h) != FALSE) == s.visible;
    all = all && ok;
    if (!ok) got += (got.empty() ? "" : "; ") + text_str(s.title) + " " + window_state(h);
  }
  return res.check(all, prefix + ".windows_made", "the driver's windows made, none minimized", got);
}

// After the exit: nonapp.dat beside the program holds these titles, each ending in CR LF.
void check_saved_list(Results &res, const std::string &name, const Instance &inst,
                      const std::vector<std::string> &titles) {
  std::string want;
  for (const std::string &t : titles) want += t + "\r\n";
  const std::string path = inst.dir + "nonapp.dat";
  std::ifstream file(path, std::ios::binary);
  const bool have = file.is_open();
  const std::string got((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  res.check(have && got == want, name, text_str(want) + " in " + path, have ? text_str(got) : "no file");
}

// The context menu: WM_CONTEXTMENU with a point on the screen shows a popup menu there, its
// top-left corner at the point; Esc closes it and the bar lives on.
void check_context_menu(Results &res, const Instance &inst) {
  const DWORD pid = inst.pi.dwProcessId;
  const POINT at = {400, 300};
  // The mouse well away from where the menu opens: resting on an item, it could open a submenu,
  // which Esc would close instead of the menu.
  SetCursorPos(kScreenWidth - 8, kScreenHeight - 8);
  PostMessageA(inst.bar, WM_CONTEXTMENU, (WPARAM)inst.bar, MAKELPARAM(at.x, at.y));
  std::vector<HWND> menus;
  wait_for(5000, [&] { return !(menus = process_windows(pid, "#32768")).empty(); });
  if (!res.check(menus.size() == 1, "menu.shown", "one visible \"#32768\" window within 5 s of WM_CONTEXTMENU",
                 num(menus.size()) + " such windows") &&
      menus.empty())
    return;
  const RECT r = window_rect(menus.front());
  res.check(r.left == at.x && r.top == at.y, "menu.at_point",
            "top-left corner (" + num(at.x) + "," + num(at.y) + "), the message's point", rect_str(r));
  // The menu's own loop takes the key from the thread's queue, whichever window it is for.
  PostMessageA(inst.bar, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  wait_for(5000, [&] { return (menus = process_windows(pid, "#32768")).empty(); });
  res.check(menus.empty(), "menu.closed_by_esc", "no visible menu within 5 s of Esc", num(menus.size()) + " menus");
  DWORD_PTR ignored = 0;
  res.check(send(inst.bar, WM_NULL, 0, 0, &ignored), "menu.bar_answers", "the bar answering WM_NULL", "no answer");
}

// A scenario over windows the driver makes first: "<name>.windows", and "<name>.windows_made"
// when check_made; the steps get the windows too.
int run_over_windows(const Scenario &s, const std::string &exe, const std::vector<WindowPlan> &plans, bool check_made,
                     const std::function<void(Results &, Instance &, const WindowThread &)> &steps) {
  Results res;
  WindowThread windows;
  std::string error;
  windows.plans = plans;
  if (!res.check(windows.start(&error), s.name + ".windows", "the driver's windows", error)) return res.finish();
  if (check_made) check_windows_made(res, s.name, windows, plans);
  return run_scenario(s, exe, [&](Results &res, Instance &inst) { steps(res, inst, windows); }, res);
}

// Minimize-all with the button, over windows of every kind; the exclusion list (nonapp.dat) holds
// kKeepTitle. Also the context menu: it shows where asked, and Esc closes it.
int minimize_all(const std::string &exe) {
  const std::vector<WindowPlan> plans = {
      {"a", "Velkin test A", true, -1},
      {"b", "Velkin test B", true, -1},
      {"cp932", "テスト ウィンドウ 表示", true, -1},
      {"excluded", kKeepTitle, true, -1},
      {"case", "velkin keep me", true, -1},        // only a case apart from an excluded title
      {"longer", "Velkin keep me too", true, -1},  // an excluded title with more after it
      {"owned", "Velkin test owned", true, 0},     // owned by "Velkin test A"
      {"hidden", "Velkin test hidden", false, -1},
      {"untitled", "", true, -1},
      {"progman", "Program Manager", true, -1},
  };
  return run_over_windows(Scenario("minimize", Up::kNoBox, Ending::kExitButton, false), exe, plans, true,
                          [&](Results &res, Instance &inst, const WindowThread &windows) {
    check_context_menu(res, inst);
    check_minimize_all(res, "minimize", inst.bar, windows, {"a", "b", "cp932", "case", "longer"},
                       {"excluded", "owned", "hidden", "untitled", "progman"}, true);
    HWND hidden = windows.window("hidden");
    res.check(!IsWindowVisible(hidden), "minimize.hidden_stays_hidden", "window \"Velkin test hidden\" still hidden",
              window_state(hidden));
  });
}

// Windows whose titles the program could mistake for others': an excluded title above a title
// only a case apart from it, a hidden window above a shown one of the same title, and two shown
// windows of one title. The exclusion list (nonapp.dat) holds kKeepTitle. Every shown window but
// the excluded one is minimized; the excluded one and the hidden one are left as they are.
int minimize_lookalikes(const std::string &exe) {
  const std::vector<WindowPlan> plans = {
      {"case", "velkin keep me", true, -1},
      {"excluded", kKeepTitle, true, -1},  // made later: above "velkin keep me"
      {"twin", "Velkin twin", true, -1},
      {"twin_hidden", "Velkin twin", false, -1, true},
      {"pair1", "Velkin pair", true, -1},
      {"pair2", "Velkin pair", true, -1},
  };
  return run_over_windows(Scenario("lookalikes", Up::kNoBox, Ending::kExitButton, false), exe, plans, true,
                          [&](Results &res, Instance &inst, const WindowThread &windows) {
    check_minimize_all(res, "lookalikes", inst.bar, windows, {"case", "twin", "pair1", "pair2"},
                       {"excluded", "twin_hidden"}, true);
    HWND hidden = windows.window("twin_hidden");
    res.check(!IsWindowVisible(hidden), "lookalikes.hidden_stays_hidden",
              "the hidden window \"Velkin twin\" still hidden", window_state(hidden));
  });
}

// The exclusion list edited through its dialogs: the picker's entries, "キャンセル" adding
// nothing, a title picked and added in the list box's order, "閉じる" keeping it; minimize-all
// passing over it; the exit saving the list in that order.
int exclusions_edit(const std::string &exe) {
  const std::vector<WindowPlan> plans = {
      {"pick", kPickTitle, true, -1},
      {"other", kOtherTitle, true, -1},
      {"keep", kKeepTitle, true, -1},
      {"owned", "Velkin owned", true, 1},  // owned by kOtherTitle
      {"hidden", "Velkin hidden", false, -1},
  };
  return run_over_windows(Scenario("edit", Up::kNoBox, Ending::kBySteps, false), exe, plans, true,
                          [&](Results &res, Instance &inst, const WindowThread &windows) {
    std::vector<std::string> kept;  // the list box's entries when "閉じる" was clicked
    if (HWND dialog = open_exclusions(res, "edit.dialog", inst.bar)) {
      check_text(res, "edit.dialog.ctl1016.text", GetDlgItem(dialog, kAddButtonId), "追加(&A)");
      check_text(res, "edit.dialog.ctl1017.text", GetDlgItem(dialog, kDeleteButtonId), "削除(&D)");
      check_text(res, "edit.dialog.ctl1018.text", GetDlgItem(dialog, kCloseListButtonId), "閉じる");
      check_list(res, "edit.dialog.stored", dialog, kStoredSorted);

      // The picker lists every window minimize-all would look at, excluded or not.
      if (HWND picker = open_picker(res, "edit.picker", dialog)) {
        check_text(res, "edit.picker.ctl1017.text", GetDlgItem(picker, kSelectButtonId), "選択");
        check_text(res, "edit.picker.ctl1018.text", GetDlgItem(picker, kPickCancelButtonId), "キャンセル");
        std::vector<std::string> items;
        std::string why;
        const bool have = list_items(GetDlgItem(picker, kTitleListId), &items, &why);
        const std::vector<std::string> want = candidate_titles();
        out("note: the picker lists " + (have ? list_str(items) : why));
        res.check(have && sorted(items) == sorted(want), "edit.picker.entries",
                  list_str(want) + " in any order, the driver's walk", have ? list_str(items) : why);
        res.check(have && contains(items, kPickTitle) && contains(items, kOtherTitle) && contains(items, kKeepTitle) &&
                      !contains(items, "Velkin owned") && !contains(items, "Velkin hidden"),
                  "edit.picker.own_windows",
                  "\"Velkin pick me\", \"Velkin other\" and the excluded \"Velkin keep me\"; not \"Velkin owned\" or "
                  "\"Velkin hidden\"",
                  have ? list_str(items) : why);
        if (click_closes(res, "edit.picker.cancel_closed", picker, kPickCancelButtonId))
          check_list(res, "edit.dialog.cancel_adds_nothing", dialog, kStoredSorted);
      }
      if (HWND picker = open_picker(res, "edit.picker_again", dialog))
        if (pick(res, "edit.picker_again", picker, kPickTitle))
          check_list(res, "edit.dialog.added", dialog, kEditedSorted, &kept);
      click_closes(res, "edit.dialog.closed", dialog, kCloseListButtonId);
    }
    check_minimize_all(res, "edit.minimize", inst.bar, windows, {"other"}, {"pick", "keep"}, true);
    exit_and_check(res, inst, "edit.exit");
    if (!kept.empty()) check_saved_list(res, "edit.saved_as_listed", inst, kept);
  });
}

// The list saved by exclusions-edit back after a start. A deletion dropped with Esc, another
// with the close box; minimize-all (the menu command) passing over the titles throughout.
int exclusions_back(const std::string &exe) {
  const std::vector<WindowPlan> plans = {{"pick", kPickTitle, true, -1}, {"other", kOtherTitle, true, -1}};
  return run_over_windows(Scenario("back", Up::kNoBox, Ending::kExitButton, false), exe, plans, true,
                          [&](Results &res, Instance &inst, const WindowThread &windows) {
    if (HWND dialog = open_exclusions(res, "back.dialog", inst.bar)) {
      check_list(res, "back.dialog.restored", dialog, kEditedSorted);
      delete_title(res, "back.dialog", dialog, kPickTitle, kStoredSorted);
      // Esc, as a key pressed in the list box: the dialog's own handling makes it IDCANCEL.
      PostMessageA(GetDlgItem(dialog, kTitleListId), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      check_gone(res, "back.dialog.escaped", dialog, "Esc");
    }
    check_minimize_all(res, "back.minimize", inst.bar, windows, {"other"}, {"pick"}, false);
    if (HWND dialog = open_exclusions(res, "back.dialog_again", inst.bar)) {
      check_list(res, "back.dialog_again.esc_dropped", dialog, kEditedSorted);
      // The CP932 title this time.
      delete_title(res, "back.dialog_again", dialog, kStoredSorted.back(), {kEditedSorted.begin(), kEditedSorted.end() - 1});
      PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      check_gone(res, "back.dialog_again.close_box", dialog, "SC_CLOSE");
    }
    if (HWND dialog = open_exclusions(res, "back.dialog_third", inst.bar)) {
      check_list(res, "back.dialog_third.close_box_dropped", dialog, kEditedSorted);
      click_closes(res, "back.dialog_third.closed", dialog, kCloseListButtonId);
    }
  });
}

// A full list of 20 titles: a 21st picked gives the warning and is not added.
int exclusions_full(const std::string &exe) {
  const std::vector<WindowPlan> plans = {{"pick", kPickTitle, true, -1}};
  return run_over_windows(Scenario("full", Up::kNoBox, Ending::kExitButton, false), exe, plans, false,
                          [&](Results &res, Instance &inst, const WindowThread &) {
    if (HWND dialog = open_exclusions(res, "full.dialog", inst.bar)) {
      check_list(res, "full.dialog.stored", dialog, full_list());
      if (HWND picker = open_picker(res, "full.picker", dialog)) {
        if (pick(res, "full.picker", picker, kPickTitle)) {
          if (HWND box = check_dialog(res, "full.warning.shown", inst.pi.dwProcessId, kWarningCaption,
                                      "picking a 21st title")) {
            check_text(res, "full.warning.text", GetDlgItem(box, kBoxTextId), kFullListText);
            HWND owner = GetWindow(box, GW_OWNER);
            out("note: the warning's owner is " + std::string(owner == dialog ? "the exclusion list's dialog" : hex((uintptr_t)owner)));
            out("note: the warning shows the " + box_icon(box) + " icon");
            click_closes(res, "full.warning.closed", box, IDOK);
          }
          check_list(res, "full.dialog.unchanged", dialog, full_list());
        }
      }
      click_closes(res, "full.dialog.closed", dialog, kCloseListButtonId);
    }
  });
}

// Titles from other code pages: the context menu's window slots and the picker over windows whose
// UTF-16 titles CP932 holds, or does not (a dash, emoji and Hangul, an accent, the yen sign).
// Every one is minimized from its slot and listed by the picker: on NT the program reads titles
// in UTF-16 and makes CP932 of them, on 9x (Wine in its win98 mode) it reads them in the ANSI code
// page, 932 here, which gives the same bytes; either way a slot keeps the window it listed. The
// exclusion list (nonapp.dat) holds kKeepTitle; "メモ帳" is picked and added, and the exit saves
// it as CP932 (the scripts check the bytes).
struct TableTitle {
  const char *name;
  const wchar_t *title;
};
const TableTitle kTitleTable[] = {
    {"em_dash", L"Page — Mozilla Firefox"},  // U+2014
    {"emoji_hangul", L"Chat 😀😀 한국어"},
    {"e_acute", L"Café au lait"},
    {"yen", L"¥100 shop"},  // U+00A5
    {"notepad", L"メモ帳"},
    {"circled_one", L"①"},
    {"horizontal_bar", L"―"},  // U+2015
};
const char *const kTablePick = "メモ帳";
const WPARAM kFirstSlotCommand = 32797;
const WPARAM kSlotCount = 10;

int window_titles(const std::string &exe) {
  std::vector<WindowPlan> plans;
  std::vector<std::string> go;
  for (const TableTitle &t : kTitleTable) {
    plans.push_back({t.name, cp932_of(t.title), true, -1, false, t.title});
    go.push_back(t.name);
  }
  return run_over_windows(Scenario("titles", Up::kNoBox, Ending::kBySteps, false), exe, plans, true,
                          [&](Results &res, Instance &inst, const WindowThread &windows) {
    // The menu fills its slots as it opens; each slot's command then minimizes the window it listed.
    check_context_menu(res, inst);
    for (WPARAM c = kFirstSlotCommand; c < kFirstSlotCommand + kSlotCount; ++c) PostMessageA(inst.bar, WM_COMMAND, c, 0);
    check_minimized(res, "titles.slots", inst.bar, windows, go, {},
                    "WM_COMMAND " + num(kFirstSlotCommand) + ".." + num(kFirstSlotCommand + kSlotCount - 1) +
                        " after the menu opened");
    if (HWND dialog = open_exclusions(res, "titles.dialog", inst.bar)) {
      if (HWND picker = open_picker(res, "titles.picker", dialog)) {
        std::vector<std::string> items;
        std::string why;
        const bool have = list_items(GetDlgItem(picker, kTitleListId), &items, &why);
        const std::vector<std::string> want = candidate_titles();
        res.check(have && sorted(items) == sorted(want), "titles.picker.entries",
                  list_str(want) + " in any order, the driver's walk", have ? list_str(items) : why);
        if (pick(res, "titles.picker", picker, kTablePick))
          check_list(res, "titles.dialog.added", dialog, {kKeepTitle, kTablePick});
      }
      click_closes(res, "titles.dialog.closed", dialog, kCloseListButtonId);
    }
    exit_and_check(res, inst, "titles.exit");
  });
}

const Commands kCommands = {
    {"minimize-all", "VELKIN_EXE", 1, [](char **a) { return minimize_all(a[0]); }},
    {"minimize-lookalikes", "VELKIN_EXE", 1, [](char **a) { return minimize_lookalikes(a[0]); }},
    {"exclusions-edit", "VELKIN_EXE", 1, [](char **a) { return exclusions_edit(a[0]); }},
    {"exclusions-back", "VELKIN_EXE", 1, [](char **a) { return exclusions_back(a[0]); }},
    {"exclusions-full", "VELKIN_EXE", 1, [](char **a) { return exclusions_full(a[0]); }},
    {"window-titles", "VELKIN_EXE", 1, [](char **a) { return window_titles(a[0]); }},
};

}  // namespace
}  // namespace driver
