// Velkin end-to-end driver: starts the real velkin.exe and inspects its bar from outside.
//
// Build (the CMake target velkin-driver uses the same flags at -O2):
//   x86_64-w64-mingw32-g++-posix -std=c++17 -O1 -Wall -Wextra -Werror -fexec-charset=CP932 -static -mconsole driver.cpp -o velkin-driver.exe -luser32 -lgdi32
//
// Sub-commands:
//   velkin-driver check-bar VELKIN_EXE   start the program, check the bar's window, class, controls and
//                                        tooltip, close it, start it again and check it docks again
//   velkin-driver launch VELKIN_EXE      start the program, wait for the bar, print "left top right bottom"
//                                        and leave it running (exit 1 if the bar never shows)
//   velkin-driver exit                   press the exit button of the running bar and wait for it to end
//
// Each check prints "PASS name" or "FAIL name: expected X, got Y"; check-bar and exit end with
// "N passed, M failed" and exit 0 only when nothing failed. Lines starting with "note:" are
// information only. Text leaves the driver as UTF-8 when stdout is a pipe or file, and through
// WriteConsoleW when it is a console, so the Japanese captions read correctly either way.
//
// Everything here crosses the process boundary with plain Win32 calls: window and class
// styles, geometry, texts, BM_GETIMAGE, CB_GETDROPPEDCONTROLRECT and the tooltip window.
// What does not cross under Wine (the controls' fonts, the class cursor, brush and icon, the
// icons' sizes) is checked inside the program's process by the Windows integration tests in
// tests/windows/.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Output

// CP932 in; out as the console's wide text, or as UTF-8 into a pipe or file.
void write_out(HANDLE h, const std::string &cp932_line) {
  std::string line = cp932_line + "\n";
  std::wstring w(line.size(), L'\0');  // a CP932 byte makes at most one UTF-16 unit
  w.resize(MultiByteToWideChar(932, 0, line.data(), (int)line.size(), &w[0], (int)w.size()));
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(h, &mode)) {
    WriteConsoleW(h, w.data(), (DWORD)w.size(), &written, nullptr);
    return;
  }
  std::string u(w.size() * 3, '\0');  // a UTF-16 unit makes at most three UTF-8 bytes
  u.resize(WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &u[0], (int)u.size(), nullptr, nullptr));
  WriteFile(h, u.data(), (DWORD)u.size(), &written, nullptr);
}

void out(const std::string &s) { write_out(GetStdHandle(STD_OUTPUT_HANDLE), s); }
void err(const std::string &s) { write_out(GetStdHandle(STD_ERROR_HANDLE), s); }

std::string num(long long v) { return std::to_string(v); }

std::string hex(unsigned long long v) {
  char buf[24];
  snprintf(buf, sizeof buf, "0x%llx", v);
  return buf;
}

std::string rect_str(const RECT &r) {
  return "(" + num(r.left) + "," + num(r.top) + "," + num(r.right) + "," + num(r.bottom) + ")";
}

// Quoted text followed by its bytes, so a wrong byte shows even where it prints alike.
std::string text_str(const std::string &t) {
  std::string s = "\"" + t + "\" [";
  for (size_t i = 0; i < t.size(); ++i) {
    char byte[4];
    snprintf(byte, sizeof byte, i ? " %02x" : "%02x", (unsigned char)t[i]);
    s += byte;
  }
  return s + "]";
}

struct Results {
  int passed = 0;
  int failed = 0;

  bool check(bool ok, const std::string &name, const std::string &expected, const std::string &got) {
    ++(ok ? passed : failed);
    out(ok ? "PASS " + name : "FAIL " + name + ": expected " + expected + ", got " + got);
    return ok;
  }
  bool eq_hex(const std::string &name, unsigned long long expected, unsigned long long got) {
    return check(expected == got, name, hex(expected), hex(got));
  }
  bool eq_rect(const std::string &name, const RECT &expected, const RECT &got) {
    return check(EqualRect(&expected, &got) != FALSE, name, rect_str(expected), rect_str(got));
  }
  int finish() {
    out(num(passed) + " passed, " + num(failed) + " failed");
    return failed == 0 ? 0 : 1;
  }
};

// ---------------------------------------------------------------------------------------------
// What the bar must look like

const int kScreenWidth = 1024;
const int kScreenHeight = 768;
const RECT kBarRect = {0, 0, 1024, 47};
const DWORD kBarStyle = 0x90400000;     // WS_POPUP | WS_VISIBLE | WS_DLGFRAME
const DWORD kClassStyle = 11;           // CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS
const DWORD kButtonStyle = 0x50000040;  // WS_CHILD | WS_VISIBLE | BS_ICON
const DWORD kStaticStyle = 0x50000000;  // WS_CHILD | WS_VISIBLE | SS_LEFT
const DWORD kComboStyle = 0x50200003;   // WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST
const int kChildCount = 18;
const int kExitButtonId = 118;
const int kDriveComboId = 115;

struct ExpectedControl {
  int id;
  const char *cls;
  DWORD style;
  RECT rect;  // in the bar's client area
  const char *text;
};
// 108, 109, 112 and 113 hold the readouts; their expected text lives here alone.
const ExpectedControl kControls[] = {
    {119, "Button", kButtonStyle, {4, 4, 36, 36}, ""},
    {102, "Button", kButtonStyle, {40, 4, 72, 36}, ""},
    {103, "Button", kButtonStyle, {76, 4, 108, 36}, ""},
    {104, "Button", kButtonStyle, {112, 4, 144, 36}, ""},
    {105, "Button", kButtonStyle, {148, 4, 180, 36}, ""},
    {118, "Button", kButtonStyle, {184, 4, 216, 36}, ""},
    {106, "Static", kStaticStyle, {220, 4, 271, 18}, "空き容量"},
    {107, "Static", kStaticStyle, {220, 22, 271, 36}, "総容量"},
    {108, "Static", kStaticStyle, {276, 4, 396, 18}, "XXXXXXXXXX MBytes"},
    {109, "Static", kStaticStyle, {276, 22, 396, 36}, "XXXXXXXXXX MBytes"},
    {110, "Static", kStaticStyle, {401, 4, 501, 18}, "空きシステムリソース"},
    {111, "Static", kStaticStyle, {401, 22, 501, 36}, "空きメモリ"},
    {112, "Static", kStaticStyle, {506, 4, 606, 18}, "XX.XX ％"},
    {113, "Static", kStaticStyle, {506, 22, 626, 36}, "XXXXXXXXXX MBytes"},
    {116, "Static", kStaticStyle, {631, 4, 710, 18}, "更新間隔"},
    {117, "Static", kStaticStyle, {715, 4, 856, 18}, "検査ドライブ"},
};

struct ExpectedCombo {
  int id;
  RECT created;  // where the program creates it, in the bar's client area
  SIZE size;     // the size it then gives it, keeping the top-left corner
};
const ExpectedCombo kCombos[] = {
    {114, {631, 18, 710, 118}, {80, 96}},
    {115, {715, 18, 775, 100}, {64, 64}},
};

// The tooltip: over the shutdown button it shows this text; over a label it shows none.
const int kTipButtonId = 104;
const char *const kTipText = "電源を切れる状態にします";
const int kNoTipLabelId = 106;

// ---------------------------------------------------------------------------------------------
// Reading windows

std::string class_name(HWND h) {
  char buf[256] = "";
  GetClassNameA(h, buf, sizeof buf);
  return buf;
}

DWORD window_pid(HWND h) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  return pid;
}

RECT window_rect(HWND h) {
  RECT r = {};
  GetWindowRect(h, &r);
  return r;
}

// Rectangle of a child in its parent's client coordinates.
RECT client_rect_in(HWND child, HWND parent) {
  RECT r = window_rect(child);
  MapWindowPoints(nullptr, parent, (POINT *)&r, 2);
  return r;
}

// With a timeout, so a hung program cannot hang the driver.
bool send(HWND h, UINT msg, WPARAM w, LPARAM l, DWORD_PTR *result) {
  return SendMessageTimeoutA(h, msg, w, l, SMTO_ABORTIFHUNG, 5000, result) != 0;
}

// A window's text as WM_GETTEXT reports it; false when no answer came.
bool get_text(HWND h, std::string *text) {
  char buf[1024] = "";
  DWORD_PTR len = 0;
  if (!send(h, WM_GETTEXT, sizeof buf, (LPARAM)buf, &len)) return false;
  text->assign(buf, len < sizeof buf ? len : sizeof buf - 1);
  return true;
}

void check_text(Results &res, const std::string &name, HWND h, const std::string &expected) {
  std::string text;
  if (get_text(h, &text))
    res.check(text == expected, name, text_str(expected), text_str(text));
  else
    res.check(false, name, text_str(expected), "no answer to WM_GETTEXT");
}

// The top-level windows for which keep(window) holds.
template <typename Keep>
std::vector<HWND> top_windows(Keep keep) {
  struct Find {
    Keep *keep;
    std::vector<HWND> found;
  } f = {&keep, {}};
  auto visit = [](HWND h, LPARAM lp) -> BOOL {
    Find *f = (Find *)lp;
    if ((*f->keep)(h)) f->found.push_back(h);
    return TRUE;
  };
  EnumWindows(visit, (LPARAM)&f);
  return f.found;
}

// The bars on screen (of one process, unless pid is 0): visible untitled top-level windows
// with the exit button as a child; strictly, also tool windows whose exit button is a Button,
// with the drive selector.
std::vector<HWND> find_bars(DWORD pid, bool strict) {
  return top_windows([&](HWND h) {
    HWND exit_button = GetDlgItem(h, kExitButtonId);
    if ((pid && window_pid(h) != pid) || !IsWindowVisible(h) || GetWindowTextLengthA(h) || !exit_button)
      return false;
    return !strict || ((GetWindowLongPtrA(h, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) &&
                       class_name(exit_button) == "Button" && GetDlgItem(h, kDriveComboId));
  });
}

// The visible tooltip windows of one process.
std::vector<HWND> visible_tips(DWORD pid) {
  return top_windows([&](HWND h) {
    return window_pid(h) == pid && IsWindowVisible(h) && class_name(h) == "tooltips_class32";
  });
}

// ---------------------------------------------------------------------------------------------
// Starting and ending the program

struct Instance {
  PROCESS_INFORMATION pi = {};
  HWND bar = nullptr;
  std::string error;

  // Starts the program in its own folder (it keeps its settings next to itself).
  bool start(const std::string &exe) {
    char full[MAX_PATH];
    char *file_part = nullptr;
    if (!GetFullPathNameA(exe.c_str(), sizeof full, full, &file_part) || !file_part) {
      error = "cannot resolve " + exe;
      return false;
    }
    std::string dir(full, file_part - full);
    std::string cmdline = "\"" + std::string(full) + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (!CreateProcessA(full, &cmdline[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) {
      error = "CreateProcess(" + std::string(full) + ") error " + num(GetLastError());
      return false;
    }
    return true;
  }

  // Polls for the bar for up to timeout_ms.
  bool wait_for_bar(DWORD timeout_ms) {
    for (DWORD start = GetTickCount();; Sleep(100)) {
      std::vector<HWND> bars = find_bars(pi.dwProcessId, false);
      if (!bars.empty()) {
        bar = bars.front();
        return true;
      }
      DWORD code = 0;
      if (GetExitCodeProcess(pi.hProcess, &code) && code != STILL_ACTIVE) {
        error = "the program ended with code " + hex(code) + " before showing its bar";
        return false;
      }
      if (GetTickCount() - start >= timeout_ms) {
        error = "no bar within " + num(timeout_ms / 1000) + " s";
        return false;
      }
    }
  }

  // Ends a process the checks could not close, so it does not linger.
  void kill_if_running() {
    if (pi.hProcess && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(pi.hProcess, 99);
      WaitForSingleObject(pi.hProcess, 5000);
    }
  }

  ~Instance() {
    if (pi.hProcess) CloseHandle(pi.hProcess);
    if (pi.hThread) CloseHandle(pi.hThread);
  }
};

// Posts WM_CLOSE and checks that the process ends and takes its bar with it.
void close_and_check(Results &res, Instance &inst, const std::string &prefix) {
  PostMessageA(inst.bar, WM_CLOSE, 0, 0);
  bool ended = WaitForSingleObject(inst.pi.hProcess, 10000) == WAIT_OBJECT_0;
  res.check(ended, prefix + ".process_ended", "the process to end within 10 s after WM_CLOSE", "it still runs");
  DWORD code = 0;
  if (ended && GetExitCodeProcess(inst.pi.hProcess, &code)) out("note: " + prefix + " exit code " + hex(code));
  res.check(!IsWindow(inst.bar), prefix + ".window_gone", "no bar window after the process ended",
            "window " + hex((uintptr_t)inst.bar) + " still exists");
  inst.kill_if_running();
}

// ---------------------------------------------------------------------------------------------
// check-bar

void check_window(Results &res, HWND bar) {
  res.eq_rect("bar.rect", kBarRect, window_rect(bar));
  check_text(res, "bar.text", bar, "");
  // Windows gives every top-level window WS_CLIPSIBLINGS of its own accord.
  res.eq_hex("bar.style", kBarStyle, (DWORD)GetWindowLongPtrA(bar, GWL_STYLE) & ~(DWORD)WS_CLIPSIBLINGS);
  DWORD exstyle = (DWORD)GetWindowLongPtrA(bar, GWL_EXSTYLE);
  res.check((exstyle & WS_EX_TOOLWINDOW) && !(exstyle & WS_EX_TOPMOST), "bar.exstyle",
            "WS_EX_TOOLWINDOW (0x80) without WS_EX_TOPMOST (0x8)", hex(exstyle));
  res.eq_hex("class.style", kClassStyle, GetClassLongPtrA(bar, GCL_STYLE));
}

// The dropped-down rectangle of a combo box made here the way the program makes its own:
// created with the same style, size and font (the icon-title font), then resized. How the
// height splits between field and list is the system's business, and under Wine the field's
// height follows the font; the program's box must drop down like this one.
bool reference_dropped(const ExpectedCombo &cb, RECT *dropped) {
  HWND host = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
  HWND combo = CreateWindowExA(0, "COMBOBOX", "", kComboStyle, cb.created.left, cb.created.top,
                               cb.created.right - cb.created.left, cb.created.bottom - cb.created.top, host,
                               nullptr, nullptr, nullptr);
  LOGFONTA lf = {};
  SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof lf, &lf, 0);
  HFONT font = CreateFontIndirectA(&lf);
  if (combo) {
    SendMessageA(combo, WM_SETFONT, (WPARAM)font, TRUE);
    SetWindowPos(combo, nullptr, 0, 0, cb.size.cx, cb.size.cy, SWP_NOMOVE | SWP_NOZORDER);
    SendMessageA(combo, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)dropped);
  }
  if (host) DestroyWindow(host);
  if (font) DeleteObject(font);
  return combo != nullptr;
}

void check_combo(Results &res, HWND bar, HWND c, const ExpectedCombo &cb) {
  const std::string name = "ctl" + num(cb.id);
  // A combo box hands WS_VSCROLL on to its list and, on Wine, drops it from its own style.
  DWORD style = (DWORD)GetWindowLongPtrA(c, GWL_STYLE);
  const DWORD without_vscroll = kComboStyle & ~(DWORD)WS_VSCROLL;
  res.check(style == kComboStyle || style == without_vscroll, name + ".style",
            hex(kComboStyle) + " or " + hex(without_vscroll), hex(style));

  RECT r = client_rect_in(c, bar);
  res.check(r.left == cb.created.left && r.top == cb.created.top && r.right - r.left == cb.size.cx,
            name + ".rect",
            "left " + num(cb.created.left) + " top " + num(cb.created.top) + " width " + num(cb.size.cx),
            "left " + num(r.left) + " top " + num(r.top) + " width " + num(r.right - r.left));

  // The return value is no use (Wine answers CB_OKAY, which is 0): a filled rectangle counts.
  const LONG unset = -32768;
  RECT got = {unset, unset, unset, unset}, want = got;
  DWORD_PTR ignored = 0;
  bool have = send(c, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&got, &ignored) && got.left != unset;
  bool have_ref = reference_dropped(cb, &want) && want.left != unset;
  int w = got.right - got.left, h = got.bottom - got.top, ref_h = want.bottom - want.top;
  res.check(have && have_ref && w == cb.size.cx && w == want.right - want.left && h == ref_h,
            name + ".dropped_size",
            have_ref ? num(cb.size.cx) + "x" + num(ref_h) + ", as a reference box resized to " + num(cb.size.cx) +
                           "x" + num(cb.size.cy) + " drops down to " + rect_str(want)
                     : "a reference combo box in the driver",
            have ? num(w) + "x" + num(h) + " at " + rect_str(got) : "no answer to CB_GETDROPPEDCONTROLRECT");
}

// Fonts are not checked here: WM_GETFONT does not cross processes under Wine, and a font
// handle means nothing outside its process. The integration tests check them.
void check_children(Results &res, HWND bar) {
  int count = 0;
  for (HWND c = GetWindow(bar, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++count;
  res.check(count == kChildCount, "children.count", num(kChildCount), num(count));

  // The child with this ID, its class checked; null after a FAIL.
  auto child = [&](int id, const std::string &cls) -> HWND {
    HWND c = GetDlgItem(bar, id);
    if (!res.check(c != nullptr, "ctl" + num(id) + ".exists", "a child with this control ID", "none")) return nullptr;
    res.check(class_name(c) == cls, "ctl" + num(id) + ".class", text_str(cls), text_str(class_name(c)));
    return c;
  };
  for (const ExpectedControl &e : kControls) {
    const std::string name = "ctl" + num(e.id);
    HWND c = child(e.id, e.cls);
    if (!c) continue;
    res.eq_hex(name + ".style", e.style, (DWORD)GetWindowLongPtrA(c, GWL_STYLE));
    res.eq_rect(name + ".rect", e.rect, client_rect_in(c, bar));
    check_text(res, name + ".text", c, e.text);
    if (e.style != kButtonStyle) continue;
    // Only the handle crosses; the icon itself is the integration tests' business.
    DWORD_PTR icon = 0;
    bool answered = send(c, BM_GETIMAGE, IMAGE_ICON, 0, &icon);
    res.check(answered && icon != 0, name + ".icon", "an icon (BM_GETIMAGE IMAGE_ICON)",
              answered ? "NULL" : "no answer");
  }
  for (const ExpectedCombo &cb : kCombos)
    if (HWND c = child(cb.id, "ComboBox")) check_combo(res, bar, c, cb);
}

// Puts the mouse on the centre of a child of the bar. The program hands the mouse messages
// its message loop sees on to its tooltip control, which then looks where the mouse really
// is: a posted WM_MOUSEMOVE alone would not do.
void point_at(HWND bar, int id) {
  RECT r = window_rect(GetDlgItem(bar, id));
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

void check_tooltip(Results &res, const Instance &inst) {
  const DWORD pid = inst.pi.dwProcessId;
  std::vector<HWND> tips;
  // Up to 5 s, pointing again every second in case a move went astray; a tooltip waits for
  // the mouse to rest before it shows, so not more often.
  for (int i = 0; i < 50 && tips.empty(); ++i) {
    if (i % 10 == 0) point_at(inst.bar, kTipButtonId);
    Sleep(100);
    tips = visible_tips(pid);
  }
  if (!res.check(tips.size() == 1, "tooltip.shown",
                 "one visible tooltip within 5 s of the mouse resting on ctl" + num(kTipButtonId),
                 num(tips.size()) + " tooltips") &&
      tips.empty())
    return;
  // A tooltip answers WM_GETTEXT with the tip it shows.
  check_text(res, "tooltip.text", tips.front(), kTipText);

  // A label has no tip: what showed must go and stay gone.
  point_at(inst.bar, kNoTipLabelId);
  for (int i = 0; i < 15; ++i) {
    Sleep(100);
    tips = visible_tips(pid);
  }
  std::string shown;
  for (HWND t : tips) {
    std::string text;
    get_text(t, &text);
    shown += (shown.empty() ? "" : ", ") + text_str(text);
  }
  res.check(tips.empty(), "tooltip.hidden_over_label",
            "no visible tooltip 1.5 s after moving to ctl" + num(kNoTipLabelId), "tooltip " + shown);
}

int cmd_check_bar(const std::string &exe) {
  Results res;
  const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  res.check(cx == kScreenWidth && cy == kScreenHeight, "screen.size",
            num(kScreenWidth) + "x" + num(kScreenHeight), num(cx) + "x" + num(cy));
  {
    Instance first;
    bool up = first.start(exe) && first.wait_for_bar(20000);
    if (res.check(up, "bar.found", "a visible untitled window with control 118 within 20 s", first.error)) {
      check_window(res, first.bar);
      check_children(res, first.bar);
      check_tooltip(res, first);
      close_and_check(res, first, "close");
    }
    first.kill_if_running();
  }
  {
    Instance second;
    bool up = second.start(exe) && second.wait_for_bar(20000);
    if (res.check(up, "relaunch.found", "the bar of a second start within 20 s", second.error)) {
      res.eq_rect("relaunch.rect", kBarRect, window_rect(second.bar));
      close_and_check(res, second, "relaunch.close");
    }
    second.kill_if_running();
  }
  return res.finish();
}

// ---------------------------------------------------------------------------------------------
// launch and exit

int cmd_launch(const std::string &exe) {
  Instance inst;
  if (!inst.start(exe) || !inst.wait_for_bar(20000)) {
    err("launch: " + inst.error);
    return 1;
  }
  RECT r = window_rect(inst.bar);
  out(num(r.left) + " " + num(r.top) + " " + num(r.right) + " " + num(r.bottom));
  return 0;  // the program keeps running
}

int cmd_exit() {
  Results res;
  std::vector<HWND> bars = find_bars(0, true);
  if (!res.check(bars.size() == 1, "exit.found", "one running bar", num(bars.size()) + " bars") && bars.empty())
    return res.finish();
  HWND bar = bars.front();
  DWORD pid = window_pid(bar);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!res.check(process != nullptr, "exit.open_process", "a handle to process " + num(pid),
                 "OpenProcess error " + num(GetLastError())))
    return res.finish();
  // Press the button the way a click does: the button tells the bar through WM_COMMAND.
  PostMessageA(GetDlgItem(bar, kExitButtonId), BM_CLICK, 0, 0);
  bool ended = WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
  res.check(ended, "exit.process_ended", "the program to end within 10 s after its exit button", "it still runs");
  res.check(!IsWindow(bar), "exit.window_gone", "no bar window", "window " + hex((uintptr_t)bar) + " still exists");
  CloseHandle(process);
  return res.finish();
}

int usage() {
  err("usage: velkin-driver check-bar VELKIN_EXE | launch VELKIN_EXE | exit");
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) return usage();
  std::string cmd = argv[1];
  if (cmd == "check-bar" && argc == 3) return cmd_check_bar(argv[2]);
  if (cmd == "launch" && argc == 3) return cmd_launch(argv[2]);
  if (cmd == "exit" && argc == 2) return cmd_exit();
  return usage();
}
