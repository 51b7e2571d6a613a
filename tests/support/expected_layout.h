// What the bar must look like: its place and style, the eighteen controls' places, styles,
// texts, tooltips and icons, and the selectors' entries. Written out here from what the bar
// must show, never taken from the program's own table (src/panel/panel_layout.cpp), and read by
// both the Windows tier (tests/windows), which looks inside the program's process, and the
// end-to-end driver (tests/e2e/driver), which looks from outside. Plain data: no <windows.h>.
// The texts are code page 932 bytes (both builds compile with -fexec-charset=CP932).
#ifndef VELKIN_TESTS_SUPPORT_EXPECTED_LAYOUT_H
#define VELKIN_TESTS_SUPPORT_EXPECTED_LAYOUT_H

#include <cstddef>
#include <iterator>

namespace expected_layout {

// The bar, docked at the top of the screen across its whole width.
const int kBarHeight = 47;
const unsigned long kBarStyle = 0x90400000;    // WS_POPUP | WS_VISIBLE | WS_DLGFRAME
const unsigned long kBarClassStyle = 11;       // CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS
const unsigned long kButtonStyle = 0x50000040;  // WS_CHILD | WS_VISIBLE | BS_ICON
const unsigned long kStaticStyle = 0x50000000;  // WS_CHILD | WS_VISIBLE | SS_LEFT
const unsigned long kSelectorStyle = 0x50200003;  // WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST

// The controls' IDs.
enum ControlId {
  kRestartWindowsButton = 102,
  kRestartSystemButton = 103,
  kShutdownButton = 104,
  kMinimizeAllButton = 105,
  kFreeLabel = 106,
  kTotalLabel = 107,
  kFreeReadout = 108,
  kTotalReadout = 109,
  kResourcesLabel = 110,
  kMemoryLabel = 111,
  kResourcesReadout = 112,
  kMemoryReadout = 113,
  kIntervalSelector = 114,
  kDriveSelector = 115,
  kIntervalLabel = 116,
  kDriveLabel = 117,
  kExitButton = 118,
  kSuspendButton = 119,
};

enum class Kind { kButton, kLabel, kReadout, kSelector };

// A rectangle in the bar's client area, and a size.
struct Place {
  int left, top, right, bottom;
};
struct Size {
  int cx, cy;
};

struct Control {
  int id;
  Kind kind;
  const char *window_class;
  Place place;          // where it is created; a selector's height includes its list
  unsigned long style;  // as created (a selector may drop WS_VSCROLL from its own style)
  const char *text;     // a button's (none) or label's text, a readout's before its first
                        // reading; nullptr for a selector
  const char *tip;      // its tooltip, nullptr for none
  int icon;             // a button's icon resource, 0 for the others
  Size filled;          // a selector's size once filled, its top-left corner kept; {0, 0} else
};

// In creation order: each new child goes below its older siblings.
const Control kControls[] = {
    {kSuspendButton, Kind::kButton, "Button", {4, 4, 36, 36}, kButtonStyle, "",
     "このコンピュータをサスペンドモードにします", 132, {0, 0}},
    {kRestartWindowsButton, Kind::kButton, "Button", {40, 4, 72, 36}, kButtonStyle, "",
     "Windowsのみ高速再起動します", 133, {0, 0}},
    {kRestartSystemButton, Kind::kButton, "Button", {76, 4, 108, 36}, kButtonStyle, "",
     "システム全体を再起動します", 130, {0, 0}},
    {kShutdownButton, Kind::kButton, "Button", {112, 4, 144, 36}, kButtonStyle, "", "電源を切れる状態にします", 131,
     {0, 0}},
    {kMinimizeAllButton, Kind::kButton, "Button", {148, 4, 180, 36}, kButtonStyle, "",
     "全てのウィンドウを最小化します", 129, {0, 0}},
    {kExitButton, Kind::kButton, "Button", {184, 4, 216, 36}, kButtonStyle, "",
     "このアプリケーションを終了します", 135, {0, 0}},
    {kFreeLabel, Kind::kLabel, "Static", {220, 4, 271, 18}, kStaticStyle, "空き容量", nullptr, 0, {0, 0}},
    {kTotalLabel, Kind::kLabel, "Static", {220, 22, 271, 36}, kStaticStyle, "総容量", nullptr, 0, {0, 0}},
    {kFreeReadout, Kind::kReadout, "Static", {276, 4, 396, 18}, kStaticStyle, "XXXXXXXXXX MBytes", nullptr, 0, {0, 0}},
    {kTotalReadout, Kind::kReadout, "Static", {276, 22, 396, 36}, kStaticStyle, "XXXXXXXXXX MBytes", nullptr, 0,
     {0, 0}},
    {kResourcesLabel, Kind::kLabel, "Static", {401, 4, 501, 18}, kStaticStyle, "空きシステムリソース", nullptr, 0,
     {0, 0}},
    {kMemoryLabel, Kind::kLabel, "Static", {401, 22, 501, 36}, kStaticStyle, "空きメモリ", nullptr, 0, {0, 0}},
    {kResourcesReadout, Kind::kReadout, "Static", {506, 4, 606, 18}, kStaticStyle, "XX.XX ％", nullptr, 0, {0, 0}},
    {kMemoryReadout, Kind::kReadout, "Static", {506, 22, 626, 36}, kStaticStyle, "XXXXXXXXXX MBytes", nullptr, 0,
     {0, 0}},
    {kIntervalLabel, Kind::kLabel, "Static", {631, 4, 710, 18}, kStaticStyle, "更新間隔", nullptr, 0, {0, 0}},
    {kDriveLabel, Kind::kLabel, "Static", {715, 4, 856, 18}, kStaticStyle, "検査ドライブ", nullptr, 0, {0, 0}},
    {kIntervalSelector, Kind::kSelector, "ComboBox", {631, 18, 710, 118}, kSelectorStyle, nullptr,
     "情報の更新間隔を設定します", 0, {80, 96}},
    {kDriveSelector, Kind::kSelector, "ComboBox", {715, 18, 775, 100}, kSelectorStyle, nullptr,
     "容量を監視するドライブを指定します", 0, {64, 64}},
};
const size_t kControlCount = std::size(kControls);

// The control with this ID; nullptr for none.
inline const Control *FindControl(int id) {
  for (const Control &c : kControls)
    if (c.id == id) return &c;
  return nullptr;
}

// The selectors: the interval selector lists these, entry 4 ("1秒") selected on a first
// start; the drive selector lists the roots of the fixed drives in letter order and then this
// entry, the first selected.
const char *const kIntervalEntries[] = {"50ミリ秒", "100ミリ秒", "200ミリ秒", "500ミリ秒", "1秒", "2秒", "5秒"};
const int kIntervalEntryCount = (int)std::size(kIntervalEntries);
const int kDefaultInterval = 4;
const char *const kAllDrivesEntry = "All";

}  // namespace expected_layout

#endif
