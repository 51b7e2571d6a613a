// What the end-to-end driver's features share (driver.h): output, reading windows, starting and
// ending the program, its message boxes, the selectors, and the scenario runner.
#include "tests/e2e/driver/driver.h"

#include <algorithm>

namespace driver {

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

// ---------------------------------------------------------------------------------------------
// Reading windows

RECT window_rect(HWND h) {
  RECT r = {};
  GetWindowRect(h, &r);
  return r;
}

RECT client_rect_in(HWND child, HWND parent) {
  RECT r = window_rect(child);
  MapWindowPoints(nullptr, parent, (POINT *)&r, 2);
  return r;
}

bool send(HWND h, UINT msg, WPARAM w, LPARAM l, DWORD_PTR *result) {
  return SendMessageTimeoutA(h, msg, w, l, SMTO_ABORTIFHUNG, 5000, result) != 0;
}

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

// The messages that read a box's entries: a combo box's or a list box's.
struct EntryMessages {
  UINT count, length, text;
  const char *count_name, *length_name, *text_name;
};
const EntryMessages kComboEntries = {CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT,
                                     "CB_GETCOUNT", "CB_GETLBTEXTLEN", "CB_GETLBTEXT"};
const EntryMessages kListEntries = {LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, "LB_GETCOUNT", "LB_GETTEXTLEN", "LB_GETTEXT"};

// The entries of a combo box or list box as CP932 text. Wine 8 hands CB_GETLBTEXT's and
// LB_GETTEXT's text back across processes as UTF-16 however it was asked (an ANSI caller gets
// UTF-16 and a count of characters), so the driver asks in UTF-16, which Windows answers the
// same way, and makes CP932 of it itself: the program added CP932 text, which the box keeps in
// UTF-16. Each entry comes with its length first, into a buffer with a character to spare,
// marked, to see where it ends. False with the reason when an answer is missing or odd.
bool box_entries(HWND c, const EntryMessages &m, std::vector<std::string> *items, std::string *error) {
  DWORD_PTR count = 0;
  if (!send(c, m.count, 0, 0, &count) || (LRESULT)count < 0) {
    *error = "no answer to " + std::string(m.count_name);
    return false;
  }
  items->clear();
  for (int i = 0; i < (int)count; ++i) {
    DWORD_PTR len = 0, copied = 0;
    if (!SendMessageTimeoutW(c, m.length, i, 0, SMTO_ABORTIFHUNG, 5000, &len) || (LRESULT)len < 0) {
      *error = "no length for entry " + num(i) + " (" + m.length_name + ")";
      return false;
    }
    std::wstring buf(len + 2, L'\x7f');
    if (!SendMessageTimeoutW(c, m.text, i, (LPARAM)&buf[0], SMTO_ABORTIFHUNG, 5000, &copied) ||
        (LRESULT)copied < 0) {
      *error = "no text for entry " + num(i) + " (" + m.text_name + ")";
      return false;
    }
    if (copied != len || buf[copied] != L'\0') {
      *error = "entry " + num(i) + ": " + m.length_name + " " + num(len) + " characters, " + m.text_name + " " +
               num(copied);
      return false;
    }
    std::string text(len * 2, '\0');  // a UTF-16 unit makes at most two CP932 bytes
    text.resize(WideCharToMultiByte(932, 0, buf.data(), (int)len, &text[0], (int)text.size(), nullptr, nullptr));
    items->push_back(text);
  }
  return true;
}

bool combo_items(HWND c, std::vector<std::string> *items, std::string *error) {
  return box_entries(c, kComboEntries, items, error);
}

bool list_items(HWND c, std::vector<std::string> *items, std::string *error) {
  return box_entries(c, kListEntries, items, error);
}

std::string list_str(const std::vector<std::string> &items) {
  std::string s;
  for (const std::string &t : items) s += (s.empty() ? "\"" : ", \"") + t + "\"";
  return "[" + s + "]";
}

// A size readout, "N Bytes": N the whole byte count in decimal digits without leading zeros.
bool parse_bytes(const std::string &text, unsigned long long *n) {
  const std::string unit = " Bytes";
  if (text.size() <= unit.size() || text.compare(text.size() - unit.size(), unit.size(), unit) != 0) return false;
  const std::string digits = text.substr(0, text.size() - unit.size());
  if (digits.size() > 19 || (digits.size() > 1 && digits[0] == '0')) return false;  // 19 digits fit 64 bits
  unsigned long long v = 0;
  for (char ch : digits) {
    if (ch < '0' || ch > '9') return false;
    v = v * 10 + (ch - '0');
  }
  *n = v;
  return true;
}

SizeReadout read_size(HWND bar, int id) {
  SizeReadout r;
  r.answered = get_text(GetDlgItem(bar, id), &r.text);
  r.valid = r.answered && parse_bytes(r.text, &r.bytes);
  return r;
}

std::string readout_str(const SizeReadout &r) { return r.answered ? text_str(r.text) : "no answer to WM_GETTEXT"; }

// The bars on screen (of one process, unless pid is 0): visible untitled top-level windows
// with the exit button as a child; strictly, also tool windows whose exit button is a Button,
// with the drive selector.
std::vector<HWND> find_bars(DWORD pid, bool strict) {
  return top_windows([&](HWND h) {
    HWND exit_button = GetDlgItem(h, kExitButton);
    if ((pid && window_pid(h) != pid) || !IsWindowVisible(h) || GetWindowTextLengthA(h) || !exit_button)
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
// ---------------------------------------------------------------------------------------------
// Ending the program

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

void exit_and_check(Results &res, Instance &inst, const std::string &prefix) {
  PostMessageA(GetDlgItem(inst.bar, kExitButton), BM_CLICK, 0, 0);
  bool ended = WaitForSingleObject(inst.pi.hProcess, 10000) == WAIT_OBJECT_0;
  res.check(ended, prefix + ".process_ended", "the program to end within 10 s after its exit button", "it still runs");
  res.check(!IsWindow(inst.bar), prefix + ".window_gone", "no bar window after the process ended",
            "window " + hex((uintptr_t)inst.bar) + " still exists");
  inst.kill_if_running();
}

// ---------------------------------------------------------------------------------------------
// Message boxes

// How long the driver watches for a further box once the bar and the boxes it expects are up.
const DWORD kBoxWatchMs = 1000;

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
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
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

// Starts the program and waits up to 20 s for its bar, pressing OK on every message box it shows
// meanwhile and noting what the box said. Once the bar and at least `expected` boxes have shown
// it watches kBoxWatchMs more for another box. False with inst.error when no bar showed.
bool start_noting_boxes(Instance &inst, const std::string &exe, size_t expected, std::vector<SeenBox> *boxes) {
  if (!inst.start(exe)) return false;
  const DWORD pid = inst.pi.dwProcessId;
  std::vector<HWND> handled;
  DWORD ready_at = 0;
  for (DWORD start = GetTickCount();; Sleep(100)) {
    for (HWND box : process_dialogs(pid, nullptr)) {
      if (std::find(handled.begin(), handled.end(), box) != handled.end()) continue;
      handled.push_back(box);
      SeenBox seen;
      get_text(box, &seen.caption);
      seen.text_answered = get_text(GetDlgItem(box, kBoxTextId), &seen.text);
      seen.bar_visible = !find_bars(pid, false).empty();
      seen.files = folder_files(inst.dir);
      for (DWORD shown = GetTickCount(); (seen.icon = box_icon(box)) == "?" && GetTickCount() - shown < kIconWaitMs;)
        Sleep(100);
      boxes->push_back(seen);
      out("note: OK pressed on " + dialog_str(box));
      PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    }
    if (!inst.bar) {
      std::vector<HWND> bars = find_bars(pid, false);
      if (!bars.empty()) inst.bar = bars.front();
    }
    if (inst.bar && boxes->size() >= expected) {
      if (!ready_at) ready_at = GetTickCount();
      if (GetTickCount() - ready_at >= kBoxWatchMs) return true;
    }
    DWORD code = 0;
    if (GetExitCodeProcess(inst.pi.hProcess, &code) && code != STILL_ACTIVE) {
      inst.error = "the program ended with code " + hex(code) + (inst.bar ? "" : " before showing its bar");
      return false;
    }
    if (GetTickCount() - start >= 20000) {
      if (inst.bar) return true;  // the box count is the caller's check
      inst.error = "no bar within 20 s";
      for (HWND dialog : process_dialogs(pid, nullptr)) inst.error += "; it shows " + dialog_str(dialog);
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

// ---------------------------------------------------------------------------------------------
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

bool select_entry(HWND bar, int id, int pos) {
  HWND box = GetDlgItem(bar, id);
  DWORD_PTR result = 0;
  if (!box || !send(box, CB_SETCURSEL, pos, 0, &result) || (LRESULT)result != pos) return false;
  return PostMessageA(bar, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)box) != FALSE;
}

// ---------------------------------------------------------------------------------------------
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
    up = start_noting_boxes(inst, exe, s.up == Up::kOneBox ? 1 : 0, &boxes);
    if (s.up == Up::kNoBox) check_no_box(res, s.name, boxes);
    if (s.up == Up::kOneBox && check_one_box(res, s.name, boxes, s.box_caption, s.box_text, s.box_icon) &&
        s.check_box)
      s.check_box(res, inst, boxes.front());
    up = res.check(up, s.name + ".found", s.found, inst.error);
  }
  if (up) {
    if (steps) steps(res, inst);
    const std::string ending = s.ending_name.empty() ? s.name + (s.ending == Ending::kClose ? ".close" : ".exit")
                                                     : s.ending_name;
    if (s.ending == Ending::kClose) close_and_check(res, inst, ending);
    if (s.ending == Ending::kExitButton) exit_and_check(res, inst, ending);
  }
  inst.kill_if_running();
}

int run_scenario(const Scenario &s, const std::string &exe, const Steps &steps, Results res) {
  run_program(res, s, exe, steps);
  return res.finish();
}

}  // namespace driver
