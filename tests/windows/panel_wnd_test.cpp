// The panel's controls, texts, font, data exchange, painting and tooltips, in a real window.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "bar_fixture.h"
#include "res/resource.h"

namespace {

std::string ClassOf(HWND hWnd) {
  char buffer[64] = {};
  GetClassNameA(hWnd, buffer, sizeof buffer);
  return buffer;
}

// The eighteen controls as the bar must have them, in creation order: ID, class, rectangle in
// client coordinates (a selector's height includes its list), style, first text, tooltip and
// icon. The values are the panel's layout as specified, written out here rather than taken from
// the program's own table.
struct ExpectedControl {
  int id;
  const char* windowClass;
  RECT rect;
  DWORD style;
  const char* text;
  const char* tip;
  int icon;
};
const ExpectedControl kExpected[] = {
    {119, "Button", {4, 4, 36, 36}, 0x50000040, nullptr, "このコンピュータをサスペンドモードにします", 132},
    {102, "Button", {40, 4, 72, 36}, 0x50000040, nullptr, "Windowsのみ高速再起動します", 133},
    {103, "Button", {76, 4, 108, 36}, 0x50000040, nullptr, "システム全体を再起動します", 130},
    {104, "Button", {112, 4, 144, 36}, 0x50000040, nullptr, "電源を切れる状態にします", 131},
    {105, "Button", {148, 4, 180, 36}, 0x50000040, nullptr, "全てのウィンドウを最小化します", 129},
    {118, "Button", {184, 4, 216, 36}, 0x50000040, nullptr, "このアプリケーションを終了します", 135},
    {106, "Static", {220, 4, 271, 18}, 0x50000000, "空き容量", nullptr, 0},
    {107, "Static", {220, 22, 271, 36}, 0x50000000, "総容量", nullptr, 0},
    {108, "Static", {276, 4, 396, 18}, 0x50000000, "XXXXXXXXXX MBytes", nullptr, 0},
    {109, "Static", {276, 22, 396, 36}, 0x50000000, "XXXXXXXXXX MBytes", nullptr, 0},
    {110, "Static", {401, 4, 501, 18}, 0x50000000, "空きシステムリソース", nullptr, 0},
    {111, "Static", {401, 22, 501, 36}, 0x50000000, "空きメモリ", nullptr, 0},
    {112, "Static", {506, 4, 606, 18}, 0x50000000, "XX.XX ％", nullptr, 0},
    {113, "Static", {506, 22, 626, 36}, 0x50000000, "XXXXXXXXXX MBytes", nullptr, 0},
    {116, "Static", {631, 4, 710, 18}, 0x50000000, "更新間隔", nullptr, 0},
    {117, "Static", {715, 4, 856, 18}, 0x50000000, "検査ドライブ", nullptr, 0},
    {114, "ComboBox", {631, 18, 710, 118}, 0x50200003, nullptr, "情報の更新間隔を設定します", 0},
    {115, "ComboBox", {715, 18, 775, 100}, 0x50200003, nullptr, "容量を監視するドライブを指定します", 0},
};
// The selectors' sizes once they are filled: the interval selector 80 by 96, the drive's 64 by 64.
SIZE FilledSize(int id) { return id == 114 ? SIZE{80, 96} : SIZE{64, 64}; }
bool IsButton(const ExpectedControl& c) { return std::string(c.windowClass) == "Button"; }
bool IsSelector(const ExpectedControl& c) { return std::string(c.windowClass) == "ComboBox"; }

RECT ClientRectOf(HWND parent, HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

TEST_F(BarTest, CreatesTheEighteenControlsAtTheirPlaces) {
  CreatePanel();
  int children = 0;
  for (HWND child = GetWindow(hwnd_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    ++children;
  }
  EXPECT_EQ(children, 18);

  for (const ExpectedControl& spec : kExpected) {
    SCOPED_TRACE(spec.id);
    HWND control = GetDlgItem(hwnd_, spec.id);
    ASSERT_NE(control, nullptr);
    EXPECT_STRCASEEQ(ClassOf(control).c_str(), spec.windowClass);
    // A combo box hands WS_VSCROLL on to its list and drops it from its own style.
    const DWORD style = IsSelector(spec) ? spec.style & ~WS_VSCROLL : spec.style;
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE)), style);
    const RECT r = ClientRectOf(hwnd_, control);
    EXPECT_EQ(r.left, spec.rect.left);
    EXPECT_EQ(r.top, spec.rect.top);
    const int width = spec.rect.right - spec.rect.left, height = spec.rect.bottom - spec.rect.top;
    if (IsSelector(spec)) {
      // Resized once filled; a drop-down list's own height is the system's, its list's is ours.
      const SIZE size = FilledSize(spec.id);
      // The system decides how a combo box's height splits between the closed box and its
      // list: the panel's must drop down exactly like a reference box given the same size.
      HWND reference = CreateWindowExA(0, "COMBOBOX", "", spec.style, 0, 0, width, height, hwnd_, nullptr, nullptr,
                                       nullptr);
      SendMessageA(reference, WM_SETFONT, SendMessageA(control, WM_GETFONT, 0, 0), TRUE);
      SetWindowPos(reference, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
      RECT dropped{}, expected{};
      SendMessageA(control, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
      SendMessageA(reference, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&expected));
      DestroyWindow(reference);
      EXPECT_EQ(dropped.right - dropped.left, size.cx);
      EXPECT_EQ(dropped.bottom - dropped.top, expected.bottom - expected.top);
      // And not like a box left at its creation size.
      EXPECT_NE(dropped.bottom - dropped.top, height - (size.cy - (expected.bottom - expected.top)));
    } else {
      EXPECT_EQ(r, spec.rect);
    }
  }
}

TEST_F(BarTest, ControlsAreCreatedInTableOrder) {
  CreatePanel();
  // Each new child goes below its older siblings: the list runs in creation order.
  size_t index = 0;
  for (HWND child = GetWindow(hwnd_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    ASSERT_LT(index, std::size(kExpected));
    EXPECT_EQ(GetDlgCtrlID(child), kExpected[index].id) << "position " << index;
    ++index;
  }
  EXPECT_EQ(index, std::size(kExpected));
}

TEST_F(BarTest, StaticsShowTheLabelsAndNoPlaceholderIsLeft) {
  CreatePanel();
  const int values[] = {IDC_FREESPACE_VALUE, IDC_TOTALCAP_VALUE, IDC_RESOURCE_VALUE, IDC_MEMORY_VALUE};
  for (const ExpectedControl& spec : kExpected) {
    if (spec.text == nullptr) continue;
    HWND control = GetDlgItem(hwnd_, spec.id);
    if (std::find(std::begin(values), std::end(values), spec.id) != std::end(values)) {
      // The first readouts ran before the bar was first shown.
      EXPECT_NE(TextOf(control), spec.text) << spec.id;
      EXPECT_FALSE(TextOf(control).empty()) << spec.id;
    } else {
      EXPECT_EQ(TextOf(control), spec.text) << spec.id;
    }
  }
}

TEST_F(BarTest, ButtonsShowTheirIcons) {
  CreatePanel();
  for (const ExpectedControl& spec : kExpected) {
    if (!IsButton(spec)) continue;
    HWND button = GetDlgItem(hwnd_, spec.id);
    HICON icon = reinterpret_cast<HICON>(SendMessageA(button, BM_GETIMAGE, IMAGE_ICON, 0));
    ASSERT_NE(icon, nullptr) << spec.id;
    // LoadIcon hands out one shared handle per resource: the button holds exactly that one.
    EXPECT_EQ(icon, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(spec.icon))) << spec.id;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP mask{};
    GetObjectA(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, 32);
    EXPECT_EQ(info.hbmColor != nullptr ? mask.bmHeight : mask.bmHeight / 2, 32);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
  }
}

TEST_F(BarTest, TextControlsUseTheIconTitleFontAndButtonsNone) {
  CreatePanel();
  LOGFONTA expected{};
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof expected, &expected, 0));
  HFONT shared = nullptr;
  for (const ExpectedControl& spec : kExpected) {
    HWND control = GetDlgItem(hwnd_, spec.id);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    if (IsButton(spec)) {
      EXPECT_EQ(font, nullptr) << spec.id;
      continue;
    }
    ASSERT_NE(font, nullptr) << spec.id;
    if (shared == nullptr) shared = font;
    EXPECT_EQ(font, shared) << spec.id;
  }
  LOGFONTA actual{};
  ASSERT_EQ(GetObjectA(shared, sizeof actual, &actual), static_cast<int>(sizeof actual));
  EXPECT_EQ(actual.lfHeight, expected.lfHeight);
  EXPECT_EQ(actual.lfWeight, expected.lfWeight);
  EXPECT_EQ(actual.lfCharSet, expected.lfCharSet);
  EXPECT_STREQ(actual.lfFaceName, expected.lfFaceName);
}

TEST_F(BarTest, DataExchangeSetsOnlyTheTextsThatChanged) {
  CreatePanel();
  const auto tick = [this] { SendMessageA(hwnd_, WM_TIMER, 1, 0); };
  const long before = AfxTextSetCount();
  tick();
  EXPECT_EQ(AfxTextSetCount(), before) << "unchanged figures set no text";

  fake_.availablePhysicalMemory = 1 << 20;
  tick();
  EXPECT_EQ(AfxTextSetCount(), before + 1);
  EXPECT_EQ(TextOf(GetDlgItem(hwnd_, IDC_MEMORY_VALUE)), "1048576 Bytes");

  fake_.availablePhysicalMemory = 2 << 20;
  fake_.freeSystemResources = 42;
  tick();
  EXPECT_EQ(AfxTextSetCount(), before + 3);
  EXPECT_EQ(TextOf(GetDlgItem(hwnd_, IDC_RESOURCE_VALUE)), " 42 ％");
  tick();
  EXPECT_EQ(AfxTextSetCount(), before + 3);
}

WNDPROC g_staticProc;
int g_getTexts;
int g_setTexts;

LRESULT CALLBACK CountingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_GETTEXT || message == WM_GETTEXTLENGTH) ++g_getTexts;
  if (message == WM_SETTEXT) ++g_setTexts;
  return CallWindowProcA(g_staticProc, hWnd, message, wParam, lParam);
}

TEST_F(BarTest, AnUnchangedExchangeSendsTheControlsNoMessage) {
  CreatePanel();
  HWND value = GetDlgItem(hwnd_, IDC_MEMORY_VALUE);
  g_staticProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(value, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
  g_getTexts = g_setTexts = 0;
  SendMessageA(hwnd_, WM_TIMER, 1, 0);
  SendMessageA(hwnd_, WM_TIMER, 1, 0);
  EXPECT_EQ(g_getTexts, 0) << "what the control shows is known";
  EXPECT_EQ(g_setTexts, 0);
  fake_.availablePhysicalMemory = 1;
  SendMessageA(hwnd_, WM_TIMER, 1, 0);
  EXPECT_EQ(g_setTexts, 1);
  EXPECT_EQ(TextOf(value), "1 Bytes");
  SetWindowLongPtrA(value, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_staticProc));
}

TEST_F(BarTest, PaintingValidatesTheWindow) {
  CreatePanel();
  InvalidateRect(hwnd_, nullptr, TRUE);
  EXPECT_TRUE(GetUpdateRect(hwnd_, nullptr, FALSE));
  UpdateWindow(hwnd_);
  EXPECT_FALSE(GetUpdateRect(hwnd_, nullptr, FALSE));
}

// Asks the panel for the tooltip text of a child, as the tooltip control does.
struct TipAnswer {
  LRESULT result;
  std::string text;
  bool answered;
};

TipAnswer AskTip(HWND panel, HWND tool, UINT flags) {
  TOOLTIPTEXTA tip{};
  tip.hdr.hwndFrom = nullptr;
  tip.hdr.idFrom = reinterpret_cast<UINT_PTR>(tool);
  tip.hdr.code = TTN_NEEDTEXTA;
  tip.uFlags = flags;
  tip.lpszText = tip.szText;
  const LRESULT result = SendMessageA(panel, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
  return TipAnswer{result, tip.lpszText != nullptr ? tip.lpszText : "", tip.hinst != nullptr};
}

TEST_F(BarTest, TooltipsOfButtonsAndSelectorsOnly) {
  CreatePanel();
  for (const ExpectedControl& spec : kExpected) {
    const TipAnswer answer = AskTip(hwnd_, GetDlgItem(hwnd_, spec.id), TTF_IDISHWND);
    EXPECT_EQ(answer.text, spec.tip != nullptr ? spec.tip : "") << spec.id;
    EXPECT_TRUE(answer.answered) << spec.id;
  }
  // A tool that is not a window, or a window that is no control, gets no answer.
  EXPECT_FALSE(AskTip(hwnd_, GetDlgItem(hwnd_, IDC_EXIT), 0).answered);
  EXPECT_EQ(AskTip(hwnd_, GetDlgItem(hwnd_, IDC_EXIT), 0).text, "");
  EXPECT_FALSE(AskTip(hwnd_, hwnd_, TTF_IDISHWND).answered);
}

TEST_F(BarTest, TooltipControlKnowsEveryChild) {
  CreatePanel();
  HWND tooltip = FindToolTip();
  ASSERT_NE(tooltip, nullptr);
  EXPECT_EQ(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), 18);
}

TEST_F(BarTest, TheExitButtonClosesTheBar) {
  CreatePanel();
  SendMessageA(GetDlgItem(hwnd_, IDC_EXIT), BM_CLICK, 0, 0);
  AfxPumpMessages();
  EXPECT_FALSE(IsWindow(hwnd_));
  EXPECT_EQ(fake_.FindBar(hwnd_), nullptr);
  EXPECT_EQ(CWnd::LiveObjectCount(), liveBefore_);
  panel_ = nullptr;
}

}  // namespace
