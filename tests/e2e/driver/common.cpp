// What the end-to-end driver's features share (driver.h).
#include "tests/e2e/driver/driver.h"

#include <algorithm>

namespace driver {

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

// Quoted text followed by its bytes, so a wrong byte shows even where it prints alike.
std::string text_str(const std::string &t) {
  std::string s = "\"";
  for (char ch : t) s += ch == '\r' ? "\\r" : ch == '\n' ? "\\n" : ch == '\0' ? "\\0" : std::string(1, ch);
  s += "\" [";
  for (size_t i = 0; i < t.size(); ++i) {
    char byte[4];
    snprintf(byte, sizeof byte, i ? " %02x" : "%02x", (unsigned char)t[i]);
    s += byte;
  }
  return s + "]";
}

// Reading windows

std::string cp932_of(const wchar_t *text, int length) {
  if (length <= 0) return "";
  std::string s((size_t)length * 2, '\0');  // a UTF-16 unit makes at most two CP932 bytes
  s.resize(WideCharToMultiByte(932, 0, text, length, &s[0], (int)s.size(), nullptr, nullptr));
  return s;
}

std::wstring wide_of(const std::string &cp932) {
  if (cp932.empty()) return L"";
  std::wstring w(cp932.size(), L'\0');  // a CP932 byte makes at most one UTF-16 unit
  w.resize(MultiByteToWideChar(932, 0, cp932.data(), (int)cp932.size(), &w[0], (int)w.size()));
  return w;
}

bool get_text(HWND h, std::string *text) {
  const size_t size = 1024;
  wchar_t buf[size] = L"";
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXT, size, (LPARAM)buf, SMTO_ABORTIFHUNG, 5000, &len)) return false;
  *text = cp932_of(buf, (int)(len < size ? len : size - 1));
  return true;
}

std::string window_title(HWND h) {
  wchar_t buf[1024] = L"";
  return cp932_of(buf, GetWindowTextW(h, buf, sizeof buf / sizeof buf[0]));
}

void check_text(Results &res, const std::string &name, HWND h, const std::string &expected) {
  std::string text;
  const bool answered = get_text(h, &text);
  res.check(answered && text == expected, name, text_str(expected),
            answered ? text_str(text) : "no answer to WM_GETTEXT");
}

// The entries of a combo box or (list) a list box as CP932 text. Wine 8 hands CB_GETLBTEXT's and
// LB_GETTEXT's text back across processes as UTF-16 however it was asked (an ANSI caller gets
// UTF-16 and a count of characters), so the driver asks in UTF-16, which Windows answers the
// same way, and makes CP932 of it itself: the program added CP932 text, which the box keeps in
// UTF-16. Each entry comes with its length first, into a buffer with a character to spare,
// marked, to see where it ends. False with the reason when an answer is missing or odd.
bool box_entries(HWND c, bool list, std::vector<std::string> *items, std::string *error) {
  const UINT count_msg = list ? LB_GETCOUNT : CB_GETCOUNT, length_msg = list ? LB_GETTEXTLEN : CB_GETLBTEXTLEN;
  const std::string length_name = list ? "LB_GETTEXTLEN" : "CB_GETLBTEXTLEN", text_name = list ? "LB_GETTEXT" : "CB_GETLBTEXT";
  DWORD_PTR count = 0;
  if (!send(c, count_msg, 0, 0, &count) || (LRESULT)count < 0) {
    *error = std::string("no answer to ") + (list ? "LB_GETCOUNT" : "CB_GETCOUNT");
    return false;
  }
  items->clear();
  for (int i = 0; i < (int)count; ++i) {
    DWORD_PTR len = 0, copied = 0;
    if (!SendMessageTimeoutW(c, length_msg, i, 0, SMTO_ABORTIFHUNG, 5000, &len) || (LRESULT)len < 0) {
      *error = "no length for entry " + num(i) + " (" + length_name + ")";
      return false;
    }
    std::wstring buf(len + 2, L'\x7f');
    if (!SendMessageTimeoutW(c, list ? LB_GETTEXT : CB_GETLBTEXT, i, (LPARAM)&buf[0], SMTO_ABORTIFHUNG, 5000, &copied) ||
        (LRESULT)copied < 0) {
      *error = "no text for entry " + num(i) + " (" + text_name + ")";
      return false;
    }
    if (copied != len || buf[copied] != L'\0') {
      *error = "entry " + num(i) + ": " + length_name + " " + num(len) + " characters, " + text_name + " " + num(copied);
      return false;
    }
    items->push_back(cp932_of(buf.data(), (int)len));
  }
  return true;
}

std::string list_str(const std::vector<std::string> &items) {
  std::string s;
  for (const std::string &t : items) s += (s.empty() ? "\"" : ", \"") + t + "\"";
  return "[" + s + "]";
}

// A readout "N.DDD Unit" with `decimals` digits after the point (no point with none), N in
// decimal digits without leading zeros; its value in 10^-decimals units.
bool parse_fixed(const std::string &text, const std::string &unit, int decimals, unsigned long long *scaled) {
  const std::string tail = " " + unit;
  if (text.size() <= tail.size() || text.compare(text.size() - tail.size(), tail.size(), tail) != 0) return false;
  const std::string figure = text.substr(0, text.size() - tail.size());
  const size_t point = decimals ? figure.size() - decimals - 1 : figure.size();
  if (figure.size() < (size_t)decimals + (decimals ? 2 : 1) || (decimals && figure[point] != '.')) return false;
  const std::string whole = figure.substr(0, point);
  const std::string digits = whole + (decimals ? figure.substr(point + 1) : "");
  if (whole.size() > 1 && whole[0] == '0') return false;
  if (digits.size() > 19) return false;
  unsigned long long v = 0;
  for (char ch : digits) {
    if (ch < '0' || ch > '9') return false;
    v = v * 10 + (ch - '0');
  }
  *scaled = v;
  return true;
}

SizeReadout read_size(HWND bar, int id) {
  SizeReadout r;
  r.answered = get_text(GetDlgItem(bar, id), &r.text);
  r.valid = r.answered && parse_fixed(r.text, "Bytes", 0, &r.bytes);
  return r;
}


// The bars on screen (of one process, unless pid is 0): visible untitled top-level windows
// with the exit button as a child; strictly, also tool windows whose exit button is a Button,
// with the drive selector.
std::vector<HWND> find_bars(DWORD pid, bool strict) {
  return top_windows([&](HWND h) {
    HWND exit_button = GetDlgItem(h, kExitButton);
    if ((pid && window_pid(h) != pid) || !IsWindowVisible(h) || GetWindowTextLengthW(h) || !exit_button)
      return false;
    return !strict || ((GetWindowLongPtrA(h, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) &&
                       class_name(exit_button) == "Button" && GetDlgItem(h, kDriveSelector));
  });
}

std::vector<HWND> process_dialogs(DWORD pid, const char *caption) {
  return top_windows([&](HWND h) {
    std::string text;
    return window_pid(h) == pid && IsWindowVisible(h) && class_name(h) == "#32770" &&
           (!caption || (get_text(h, &text) && text == caption));
  });
}

std::string dialog_str(HWND dialog) {
  std::string caption, s;
  get_text(dialog, &caption);
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    std::string text;
    if (get_text(c, &text) && !text.empty()) s += ", " + text_str(text);
  }
  return "dialog " + text_str(caption) + s;
}

std::vector<HWND> wait_dialogs(DWORD pid, const char *caption, DWORD ms) {
  std::vector<HWND> dialogs;
  wait_for(ms, [&] { return !(dialogs = process_dialogs(pid, caption)).empty(); });
  return dialogs;
}

HWND check_dialog(Results &res, const std::string &name, DWORD pid, const char *caption, const std::string &after,
                  DWORD ms) {
  const std::vector<HWND> shown = wait_dialogs(pid, caption, ms);
  res.check(shown.size() == 1, name,
            "one visible \"#32770\" window captioned " + text_str(caption) + " within " + num(ms / 1000) + " s of " +
                after,
            num(shown.size()) + " such windows");
  return shown.empty() ? nullptr : shown.front();
}

bool check_gone(Results &res, const std::string &name, HWND dialog, const std::string &after) {
  return res.check(wait_for(5000, [&] { return !IsWindow(dialog); }), name, "no dialog within 5 s of " + after,
                   "it is still there");
}

bool click_closes(Results &res, const std::string &name, HWND dialog, int button) {
  PostMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
  return check_gone(res, name, dialog, "clicking ctl" + num(button));
}

// Starting and ending the program

bool Instance::start(const std::string &exe) {
  char full[MAX_PATH];
  char *file_part = nullptr;
  if (!GetFullPathNameA(exe.c_str(), sizeof full, full, &file_part) || !file_part) {
    error = "cannot resolve " + exe;
    return false;
  }
  dir.assign(full, file_part - full);
  if (const char *launcher = getenv("VELKIN_LAUNCHER")) return start_launched(launcher, full);
  std::string cmdline = "\"" + std::string(full) + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  const char *cwd = in_own_folder ? dir.c_str() : nullptr;
  if (!CreateProcessA(full, &cmdline[0], nullptr, nullptr, FALSE, 0, nullptr, cwd, &si, &pi)) {
    error = "CreateProcess(" + std::string(full) + ") error " + num(GetLastError());
    return false;
  }
  return true;
}

// The personality layer's launcher (tests/personality) answers with the program's process ID
// once the layer is in place.
bool Instance::start_launched(const std::string &launcher, const std::string &full) {
  char cwd[MAX_PATH] = "";
  if (in_own_folder)
    snprintf(cwd, sizeof cwd, "%s", dir.c_str());
  else
    GetCurrentDirectoryA(sizeof cwd, cwd);
  // A backslash before the closing quote would escape it.
  const size_t length = strlen(cwd);
  if (length > 3 && cwd[length - 1] == '\\') cwd[length - 1] = '\0';
  std::string cmdline = "\"" + launcher + "\" \"" + cwd + "\" \"" + full + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION launch = {};
  if (!CreateProcessA(launcher.c_str(), &cmdline[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &launch)) {
    error = "CreateProcess(" + launcher + ") error " + num(GetLastError());
    return false;
  }
  DWORD pid = 0;
  const bool done = WaitForSingleObject(launch.hProcess, 60000) == WAIT_OBJECT_0;
  GetExitCodeProcess(launch.hProcess, &pid);
  CloseHandle(launch.hProcess);
  CloseHandle(launch.hThread);
  if (!done || pid == 0 || pid == STILL_ACTIVE) {
    error = "the launcher could not start " + full + " with its personality";
    return false;
  }
  pi.dwProcessId = pid;
  pi.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
  if (!pi.hProcess) {
    error = "OpenProcess(" + num(pid) + ") error " + num(GetLastError());
    return false;
  }
  return true;
}

void end_and_check(Results &res, HWND bar, HANDLE process, const std::string &prefix, bool by_button) {
  if (by_button)
    PostMessageA(GetDlgItem(bar, kExitButton), BM_CLICK, 0, 0);
  else
    PostMessageA(bar, WM_CLOSE, 0, 0);
  const bool ended = WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
  res.check(ended, prefix + ".process_ended",
            std::string("the program to end within 10 s after ") + (by_button ? "its exit button" : "WM_CLOSE"),
            "it still runs");
  DWORD code = 0;
  if (ended && GetExitCodeProcess(process, &code)) out("note: " + prefix + " exit code " + hex(code));
  res.check(!IsWindow(bar), prefix + ".window_gone", "no bar window after the process ended",
            "window " + hex((uintptr_t)bar) + " still exists");
}

// Message boxes

// How long the driver watches for a further box once the bar and the boxes it expects are up.
const DWORD kBoxWatchMs = 1000;

// The files in a folder, sorted.
std::vector<std::string> folder_files(const std::string &dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

// A message box's icon control (stc1). The icon handle means nothing outside the program's
// process, so the driver tells the icon by what the screen shows: the system icons drawn here
// over the box's own background, the way the control draws its icon, must match to the pixel.
const int kBoxIconId = 0x0440;
struct BoxIcon {
  LPCSTR id;
  const char *name;
};
const BoxIcon kBoxIcons[] = {
    {IDI_INFORMATION, "information"},
    {IDI_HAND, "stop"},
    {IDI_EXCLAMATION, "exclamation"},
    {IDI_QUESTION, "question"},
};
// How long a box may take to paint its icon.
const DWORD kIconWaitMs = 3000;

// The pixels of a w x h bitmap, 32 bits each.
std::vector<DWORD> bitmap_pixels(HDC dc, HBITMAP bitmap, int w, int h) {
  BITMAPINFO bi = {{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};  // top-down
  std::vector<DWORD> pixels((size_t)w * h);
  if (GetDIBits(dc, bitmap, 0, h, pixels.data(), &bi, DIB_RGB_COLORS) != h) pixels.clear();
  return pixels;
}

std::string box_icon(HWND box) {
  HWND control = GetDlgItem(box, kBoxIconId);
  if (!control || !IsWindowVisible(control)) return "none";
  const RECT r = window_rect(control);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return "none";
  std::string found = "?";
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bitmap);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  const std::vector<DWORD> shown = bitmap_pixels(mem, bitmap, w, h);
  // The box's background just left of the control.
  const COLORREF background = GetPixel(screen, r.left - 1, r.top);
  HBRUSH brush = CreateSolidBrush(background);
  const RECT all = {0, 0, w, h};
  for (const BoxIcon &icon : kBoxIcons) {
    if (shown.empty()) break;
    old = SelectObject(mem, bitmap);
    FillRect(mem, &all, brush);
    DrawIconEx(mem, 0, 0, LoadIconA(nullptr, icon.id), w, h, 0, nullptr, DI_NORMAL);
    SelectObject(mem, old);
    if (bitmap_pixels(mem, bitmap, w, h) == shown) {
      found = icon.name;
      break;
    }
  }
  DeleteObject(brush);
  DeleteObject(bitmap);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return found;
}

bool Instance::wait_for_bar(DWORD timeout_ms, std::vector<SeenBox> *boxes, size_t expected) {
  const DWORD pid = pi.dwProcessId;
  std::vector<HWND> handled;
  std::vector<std::string> seen;
  DWORD ready_at = 0;
  for (DWORD start = GetTickCount();; Sleep(100)) {
    for (HWND box : process_dialogs(pid, boxes ? nullptr : kWelcomeCaption)) {
      if (std::find(handled.begin(), handled.end(), box) != handled.end() || (!boxes && !handled.empty())) continue;
      handled.push_back(box);
      if (boxes) {
        SeenBox seen;
        get_text(box, &seen.caption);
        seen.text_answered = get_text(GetDlgItem(box, kBoxTextId), &seen.text);
        seen.bar_visible = !find_bars(pid, false).empty();
        seen.files = folder_files(dir);
        wait_for(kIconWaitMs, [&] { return (seen.icon = box_icon(box)) != "?"; });
        boxes->push_back(seen);
      }
      out(std::string(boxes ? "note: " : "note: a first start: ") + "OK pressed on " + dialog_str(box));
      PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    }
    if (!bar) {
      std::vector<HWND> bars = find_bars(pid, false);
      if (!bars.empty()) bar = bars.front();
    }
    // What the program had up, for a program that ends before its bar shows.
    for (HWND h : top_windows([&](HWND w) { return window_pid(w) == pid; }))
      if (std::find(seen.begin(), seen.end(), class_name(h)) == seen.end()) seen.push_back(class_name(h));
    if (bar && !boxes) return true;
    if (bar && boxes->size() >= expected) {
      if (!ready_at) ready_at = GetTickCount();
      if (GetTickCount() - ready_at >= kBoxWatchMs) return true;
    }
    DWORD code = 0;
    if (GetExitCodeProcess(pi.hProcess, &code) && code != STILL_ACTIVE) {
      error = "the program ended with code " + hex(code) + (bar ? "" : " before showing its bar") + " after " +
              num(GetTickCount() - start) + " ms; its windows:";
      for (const std::string &cls : seen) error += " " + cls;
      if (seen.empty()) error += " none";
      return false;
    }
    if (GetTickCount() - start >= timeout_ms) {
      if (bar) return true;  // the box count is the caller's check
      error = "no bar within " + num(timeout_ms / 1000) + " s";
      for (HWND dialog : process_dialogs(pid, nullptr)) error += "; it shows " + dialog_str(dialog);
      return false;
    }
  }
}

std::string boxes_str(const std::vector<SeenBox> &boxes) {
  std::string s = num(boxes.size()) + " boxes";
  for (const SeenBox &b : boxes) s += ", " + text_str(b.caption) + " saying " + text_str(b.text);
  return s;
}

// Checks that exactly one box showed, with this caption and text; true when one showed.
bool check_one_box(Results &res, const std::string &prefix, const std::vector<SeenBox> &boxes,
                   const std::string &caption, const std::string &text, const std::string &icon) {
  if (!res.check(boxes.size() == 1, prefix + ".box_count", "one message box captioned " + text_str(caption),
                 boxes_str(boxes)))
    if (boxes.empty()) return false;
  const SeenBox &b = boxes.front();
  res.check(b.caption == caption, prefix + ".box_caption", text_str(caption), text_str(b.caption));
  res.check(b.text_answered && b.text == text, prefix + ".box_text", text_str(text) + " (control 0xFFFF)",
            b.text_answered ? text_str(b.text) : "no answer to WM_GETTEXT");
  res.check(b.icon == icon, prefix + ".box_icon", "the system's " + icon + " icon on screen",
            b.icon == "?" ? "none of the system's icons" : b.icon == "none" ? "no icon control" : "the " + b.icon + " icon");
  return true;
}

void check_no_box(Results &res, const std::string &prefix, const std::vector<SeenBox> &boxes) {
  res.check(boxes.empty(), prefix + ".no_box",
            "no message box up to " + num(kBoxWatchMs / 1000) + " s after the bar shows", boxes_str(boxes));
}

// The selectors

void check_selected(Results &res, const std::string &name, HWND bar, int id, int expected) {
  HWND box = GetDlgItem(bar, id);
  std::vector<std::string> items;
  std::string error;
  const bool have = box && combo_items(box, &items, &error);
  auto entry = [&](LRESULT pos) {
    return "entry " + num(pos) +
           (have && pos >= 0 && pos < (LRESULT)items.size() ? " \"" + items[pos] + "\"" : std::string());
  };
  DWORD_PTR selected = 0;
  const bool answered = box && send(box, CB_GETCURSEL, 0, 0, &selected);
  res.check(answered && (LRESULT)selected == expected, name, entry(expected),
            answered ? entry((LRESULT)selected) : box ? "no answer to CB_GETCURSEL" : "no control " + num(id));
}

bool check_select(Results &res, const std::string &name, HWND bar, int id, int pos) {
  HWND box = GetDlgItem(bar, id);
  DWORD_PTR result = 0;
  const bool ok = box && send(box, CB_SETCURSEL, pos, 0, &result) && (LRESULT)result == pos &&
                  PostMessageA(bar, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)box);
  return res.check(ok, name, "CB_SETCURSEL " + num(pos) + " and CBN_SELCHANGE posted", "no");
}

// The scenario runner

void run_program(Results &res, const Scenario &s, const std::string &exe, const Steps &steps) {
  Instance inst;
  inst.in_own_folder = s.own_folder;
  bool up = false;
  if (s.up == Up::kStarted) {
    up = res.check(inst.start(exe), s.name + ".started", "the program started", inst.error);
  } else if (s.up == Up::kBar) {
    up = res.check(inst.start(exe) && inst.wait_for_bar(20000), s.name + ".found", s.found, inst.error);
  } else {
    std::vector<SeenBox> boxes;
    up = inst.start(exe) && inst.wait_for_bar(20000, &boxes, s.up == Up::kOneBox ? 1 : 0);
    if (s.up == Up::kNoBox) check_no_box(res, s.name, boxes);
    if (s.up == Up::kOneBox && check_one_box(res, s.name, boxes, s.box_caption, s.box_text, s.box_icon) &&
        s.check_box)
      s.check_box(res, inst, boxes.front());
    up = res.check(up, s.name + ".found", s.found, inst.error);
  }
  if (up) {
    if (steps) steps(res, inst);
    const bool by_button = s.ending == Ending::kExitButton;
    const std::string ending = s.ending_name.empty() ? s.name + (by_button ? ".exit" : ".close") : s.ending_name;
    if (s.ending != Ending::kBySteps) end_and_check(res, inst.bar, inst.pi.hProcess, ending, by_button);
  }
  inst.kill_if_running();
}

int run_scenario(const Scenario &s, const std::string &exe, const Steps &steps, Results res) {
  run_program(res, s, exe, steps);
  return res.finish();
}

}  // namespace driver
