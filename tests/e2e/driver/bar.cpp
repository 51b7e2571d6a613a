// check-bar: the bar's window, class, controls and tooltip, closing it and docking again; and
// launch and exit, which leave the bar running between two runs of the driver.
#include "tests/e2e/driver/driver.h"

namespace driver {
namespace {

// The tooltip: over the shutdown button it shows its text; over a label it shows none.
const int kTipButtonId = kShutdownButton;
const int kNoTipLabelId = kFreeLabel;

void check_window(Results &res, HWND bar) {
  res.eq_rect("bar.rect", kBarRect, window_rect(bar));
  check_text(res, "bar.text", bar, "");
  // Windows gives every top-level window WS_CLIPSIBLINGS of its own accord.
  res.eq_hex("bar.style", kBarStyle, (DWORD)GetWindowLongPtrA(bar, GWL_STYLE) & ~(DWORD)WS_CLIPSIBLINGS);
  DWORD exstyle = (DWORD)GetWindowLongPtrA(bar, GWL_EXSTYLE);
  res.check((exstyle & WS_EX_TOOLWINDOW) && !(exstyle & WS_EX_TOPMOST), "bar.exstyle",
            "WS_EX_TOOLWINDOW (0x80) without WS_EX_TOPMOST (0x8)", hex(exstyle));
  res.eq_hex("class.style", kBarClassStyle, GetClassLongPtrA(bar, GCL_STYLE));
}

// The dropped-down rectangle of a combo box made here the way the program makes its own:
// created with the same style, size and font (the icon-title font), then resized. How the
// height splits between field and list is the system's business, and under Wine the field's
// height follows the font; the program's box must drop down like this one.
bool reference_dropped(const Control &cb, RECT *dropped) {
  HWND host = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
  HWND combo = CreateWindowExA(0, "COMBOBOX", "", cb.style, cb.place.left, cb.place.top,
                               cb.place.right - cb.place.left, cb.place.bottom - cb.place.top, host,
                               nullptr, nullptr, nullptr);
  LOGFONTA lf = {};
  SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof lf, &lf, 0);
  HFONT font = CreateFontIndirectA(&lf);
  if (combo) {
    SendMessageA(combo, WM_SETFONT, (WPARAM)font, TRUE);
    SetWindowPos(combo, nullptr, 0, 0, cb.filled.cx, cb.filled.cy, SWP_NOMOVE | SWP_NOZORDER);
    SendMessageA(combo, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)dropped);
  }
  if (host) DestroyWindow(host);
  if (font) DeleteObject(font);
  return combo != nullptr;
}

void check_combo(Results &res, HWND bar, HWND c, const Control &cb) {
  const std::string name = "ctl" + num(cb.id);
  // A combo box hands WS_VSCROLL on to its list and, on Wine, drops it from its own style.
  DWORD style = (DWORD)GetWindowLongPtrA(c, GWL_STYLE);
  const DWORD without_vscroll = cb.style & ~(DWORD)WS_VSCROLL;
  res.check(style == cb.style || style == without_vscroll, name + ".style",
            hex(cb.style) + " or " + hex(without_vscroll), hex(style));

  RECT r = client_rect_in(c, bar);
  res.check(r.left == cb.place.left && r.top == cb.place.top && r.right - r.left == cb.filled.cx,
            name + ".rect",
            "left " + num(cb.place.left) + " top " + num(cb.place.top) + " width " + num(cb.filled.cx),
            "left " + num(r.left) + " top " + num(r.top) + " width " + num(r.right - r.left));

  // The return value is no use (Wine answers CB_OKAY, which is 0): a filled rectangle counts.
  const LONG unset = -32768;
  RECT got = {unset, unset, unset, unset}, want = got;
  DWORD_PTR ignored = 0;
  bool have = send(c, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&got, &ignored) && got.left != unset;
  bool have_ref = reference_dropped(cb, &want) && want.left != unset;
  int w = got.right - got.left, h = got.bottom - got.top, ref_h = want.bottom - want.top;
  res.check(have && have_ref && w == cb.filled.cx && w == want.right - want.left && h == ref_h,
            name + ".dropped_size",
            have_ref ? num(cb.filled.cx) + "x" + num(ref_h) + ", as a reference box resized to " + num(cb.filled.cx) +
                           "x" + num(cb.filled.cy) + " drops down to " + rect_str(want)
                     : "a reference combo box in the driver",
            have ? num(w) + "x" + num(h) + " at " + rect_str(got) : "no answer to CB_GETDROPPEDCONTROLRECT");
}

// Fonts are not checked here: WM_GETFONT does not cross processes under Wine, and a font
// handle means nothing outside its process. The integration tests check them.
void check_children(Results &res, HWND bar) {
  int count = 0;
  for (HWND c = GetWindow(bar, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++count;
  res.check(count == (int)kControlCount, "children.count", num(kControlCount), num(count));

  // The child with this ID, its class checked; null after a FAIL.
  auto child = [&](int id, const std::string &cls) -> HWND {
    HWND c = GetDlgItem(bar, id);
    if (!res.check(c != nullptr, "ctl" + num(id) + ".exists", "a child with this control ID", "none")) return nullptr;
    res.check(class_name(c) == cls, "ctl" + num(id) + ".class", text_str(cls), text_str(class_name(c)));
    return c;
  };
  for (const Control &e : kControls) {
    const std::string name = "ctl" + num(e.id);
    HWND c = child(e.id, e.window_class);
    if (!c) continue;
    if (e.kind == Kind::kSelector) {
      check_combo(res, bar, c, e);
      continue;
    }
    res.eq_hex(name + ".style", e.style, (DWORD)GetWindowLongPtrA(c, GWL_STYLE));
    res.eq_rect(name + ".rect", rect_of(e.place), client_rect_in(c, bar));
    if (e.kind != Kind::kReadout) check_text(res, name + ".text", c, e.text);
    if (e.kind != Kind::kButton) continue;
    // Only the handle crosses; the icon itself is the integration tests' business.
    DWORD_PTR icon = 0;
    bool answered = send(c, BM_GETIMAGE, IMAGE_ICON, 0, &icon);
    res.check(answered && icon != 0, name + ".icon", "an icon (BM_GETIMAGE IMAGE_ICON)",
              answered ? "NULL" : "no answer");
  }
}

// The readouts in check-bar: each has the form of a live readout (their numbers are the
// business of check-readouts). Up to kRefreshWaitMs, in case the bar shows before it measures.
void check_readout_forms(Results &res, HWND bar) {
  SizeReadout free_space, total, memory;
  std::string resources;
  bool resources_answered = false;
  wait_for(kRefreshWaitMs, [&] {
    free_space = read_size(bar, kFreeReadout);
    total = read_size(bar, kTotalReadout);
    memory = read_size(bar, kMemoryReadout);
    resources_answered = get_text(GetDlgItem(bar, kResourcesReadout), &resources);
    return free_space.valid && total.valid && memory.valid && resources == kNoResources;
  });
  const std::string form = "\"N Bytes\", N the byte count in decimal digits";
  res.check(free_space.valid, "ctl108.text", form, readout_str(free_space));
  res.check(total.valid && total.bytes > 0, "ctl109.text", form + ", N > 0", readout_str(total));
  res.check(memory.valid && memory.bytes > 0, "ctl113.text", form + ", N > 0", readout_str(memory));
  // Wine has no RSRC32.DLL.
  res.check(resources == kNoResources, "ctl112.text", text_str(kNoResources),
            resources_answered ? text_str(resources) : "no answer to WM_GETTEXT");
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
    tips = process_windows(pid, "tooltips_class32");
  }
  if (!res.check(tips.size() == 1, "tooltip.shown",
                 "one visible tooltip within 5 s of the mouse resting on ctl" + num(kTipButtonId),
                 num(tips.size()) + " tooltips") &&
      tips.empty())
    return;
  // A tooltip answers WM_GETTEXT with the tip it shows.
  check_text(res, "tooltip.text", tips.front(), FindControl(kTipButtonId)->tip);

  // A label has no tip: what showed must go and stay gone.
  point_at(inst.bar, kNoTipLabelId);
  for (int i = 0; i < 15; ++i) {
    Sleep(100);
    tips = process_windows(pid, "tooltips_class32");
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

// The bar answers the message a benchmark asks how it is doing with: wParam 0, how many control
// texts were set (some, after its first readouts); 1, how many refresh ticks ran (one a second).
// The message's registration is the program's one static constructor, so this also shows that
// the release image runs its static constructors.
void check_statistics(Results &res, HWND bar) {
  const UINT message = RegisterWindowMessageA("VelkinStatistics");
  DWORD_PTR texts = 0, ticks = 0;
  wait_for(kRefreshWaitMs, [&] { return send(bar, message, 1, 0, &ticks) && ticks > 0; });
  const bool answered = send(bar, message, 0, 0, &texts);
  res.check(answered && texts > 0, "statistics.texts", "a count above 0", answered ? num(texts) : "no answer");
  res.check(ticks > 0, "statistics.ticks", "a tick within " + num(kRefreshWaitMs / 1000) + " s", num(ticks));
}

// The bar's window, class, controls, readouts' forms, statistics and tooltip; WM_CLOSE; a
// second start docks at the same place.
int check_bar(const std::string &exe) {
  Results res;
  const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  res.check(cx == kScreenWidth && cy == kScreenHeight, "screen.size",
            num(kScreenWidth) + "x" + num(kScreenHeight), num(cx) + "x" + num(cy));
  Scenario first("bar", Up::kBar, Ending::kClose);
  first.found = "a visible untitled window with control 118 within 20 s";
  first.ending_name = "close";
  run_program(res, first, exe, [](Results &res, Instance &inst) {
    check_window(res, inst.bar);
    check_children(res, inst.bar);
    check_readout_forms(res, inst.bar);
    check_statistics(res, inst.bar);
    check_tooltip(res, inst);
  });
  Scenario second("relaunch", Up::kBar, Ending::kClose);
  second.found = "the bar of a second start within 20 s";
  run_program(res, second, exe,
              [](Results &res, Instance &inst) { res.eq_rect("relaunch.rect", kBarRect, window_rect(inst.bar)); });
  return res.finish();
}

// Starts the program, waits for the bar, prints "left top right bottom" and leaves it running
// (exit code 1 when the bar never shows).
int launch(const std::string &exe) {
  Instance inst;
  if (!inst.start(exe) || !inst.wait_for_bar(20000)) {
    err("launch: " + inst.error);
    return 1;
  }
  RECT r = window_rect(inst.bar);
  out(num(r.left) + " " + num(r.top) + " " + num(r.right) + " " + num(r.bottom));
  return 0;  // the program keeps running
}

// Presses the exit button of the running bar and waits for the program to end.
int exit_bar() {
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
  end_and_check(res, bar, process, "exit", true);
  CloseHandle(process);
  return res.finish();
}

// Prints the ANSI code page Wine gives a program here, for the runs in other locales.
int ansi_code_page() {
  out(num(GetACP()));
  return 0;
}

const Commands kCommands = {
    {"check-bar", "VELKIN_EXE", 1, [](char **a) { return check_bar(a[0]); }},
    {"ansi-code-page", "", 0, [](char **) { return ansi_code_page(); }},
    {"launch", "VELKIN_EXE", 1, [](char **a) { return launch(a[0]); }},
    {"exit", "", 0, [](char **) { return exit_bar(); }},
};

}  // namespace

}  // namespace driver
