// The panel's controls, texts, font, data exchange, painting and tooltips, in a real window.
#include <iterator>

#include "bar_fixture.h"
#include "tests/support/expected_layout.h"

namespace {

// The eighteen controls as the bar must have them: the expected layout the end-to-end driver
// checks too, written out rather than taken from the program's own table.
using expected_layout::Control;
using expected_layout::kControls;
using expected_layout::Kind;

bool IsButton(const Control& c) { return c.kind == Kind::kButton; }
bool IsSelector(const Control& c) { return c.kind == Kind::kSelector; }
RECT RectOf(const expected_layout::Place& p) { return RECT{p.left, p.top, p.right, p.bottom}; }

TEST_F(BarTest, CreatesTheEighteenControlsAtTheirPlaces) {
  CreatePanel();
  int children = 0;
  for (HWND child = GetWindow(hwnd_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    ++children;
  }
  EXPECT_EQ(children, 18);

  for (const Control& entry : kControls) {
    SCOPED_TRACE(entry.id);
    HWND control = GetDlgItem(hwnd_, entry.id);
    ASSERT_NE(control, nullptr);
    EXPECT_STRCASEEQ(ClassOf(control).c_str(), entry.window_class);
    // A combo box hands WS_VSCROLL on to its list and drops it from its own style.
    const DWORD style = IsSelector(entry) ? entry.style & ~WS_VSCROLL : entry.style;
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE)), style);
    const RECT r = PlaceOf(entry.id);
    EXPECT_EQ(r.left, entry.place.left);
    EXPECT_EQ(r.top, entry.place.top);
    const int width = entry.place.right - entry.place.left, height = entry.place.bottom - entry.place.top;
    if (IsSelector(entry)) {
      // Resized once filled; a drop-down list's own height is the system's, its list's is ours.
      const SIZE size = {entry.filled.cx, entry.filled.cy};
      // The system decides how a combo box's height splits between the closed box and its
      // list: the panel's must drop down exactly like a reference box given the same size.
      HWND reference = CreateWindowExA(0, "COMBOBOX", "", entry.style, 0, 0, width, height, hwnd_, nullptr, nullptr,
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
      EXPECT_EQ(r, RectOf(entry.place));
    }
  }
}

TEST_F(BarTest, ControlsAreCreatedInTableOrder) {
  CreatePanel();
  // Each new child goes below its older siblings: the list runs in creation order.
  size_t index = 0;
  for (HWND child = GetWindow(hwnd_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    ASSERT_LT(index, std::size(kControls));
    EXPECT_EQ(GetDlgCtrlID(child), kControls[index].id) << "position " << index;
    ++index;
  }
  EXPECT_EQ(index, std::size(kControls));
}

TEST_F(BarTest, StaticsShowTheLabelsAndNoPlaceholderIsLeft) {
  CreatePanel();
  for (const Control& entry : kControls) {
    if (entry.text == nullptr) continue;
    HWND control = GetDlgItem(hwnd_, entry.id);
    if (entry.kind == Kind::kReadout) {
      // The first readouts ran before the bar was first shown.
      EXPECT_NE(TextOf(control), entry.text) << entry.id;
      EXPECT_FALSE(TextOf(control).empty()) << entry.id;
    } else {
      EXPECT_EQ(TextOf(control), entry.text) << entry.id;
    }
  }
}

TEST_F(BarTest, ButtonsShowTheirIcons) {
  CreatePanel();
  for (const Control& entry : kControls) {
    if (!IsButton(entry)) continue;
    HWND button = GetDlgItem(hwnd_, entry.id);
    HICON icon = reinterpret_cast<HICON>(SendMessageA(button, BM_GETIMAGE, IMAGE_ICON, 0));
    ASSERT_NE(icon, nullptr) << entry.id;
    // LoadIcon hands out one shared handle per resource: the button holds exactly that one.
    EXPECT_EQ(icon, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(entry.icon))) << entry.id;
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
  for (const Control& entry : kControls) {
    HWND control = GetDlgItem(hwnd_, entry.id);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    if (IsButton(entry)) {
      EXPECT_EQ(font, nullptr) << entry.id;
      continue;
    }
    ASSERT_NE(font, nullptr) << entry.id;
    if (shared == nullptr) shared = font;
    EXPECT_EQ(font, shared) << entry.id;
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
  const long before = AfxTextSetCount();
  Tick();
  EXPECT_EQ(AfxTextSetCount(), before) << "unchanged figures set no text";

  fake_.availablePhysicalMemory = 1 << 20;
  Tick();
  EXPECT_EQ(AfxTextSetCount(), before + 1);
  EXPECT_EQ(Text(IDC_MEMORY_VALUE), "1048576 Bytes");

  fake_.availablePhysicalMemory = 2 << 20;
  fake_.freeSystemResources = 42;
  Tick();
  EXPECT_EQ(AfxTextSetCount(), before + 3);
  EXPECT_EQ(Text(IDC_RESOURCE_VALUE), " 42 ％");
  Tick();
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
  Tick();
  Tick();
  EXPECT_EQ(g_getTexts, 0) << "what the control shows is known";
  EXPECT_EQ(g_setTexts, 0);
  fake_.availablePhysicalMemory = 1;
  Tick();
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

// Asks the panel for the tooltip text of a child as the tooltip control does: in the form the
// panel asks for (WM_NOTIFYFORMAT), an ANSI answer read in the system's ANSI code page.
struct TipAnswer { LRESULT result; std::string text; bool answered; };

// The request, NMTTDISPINFOA or NMTTDISPINFOW, sent to the panel.
template <typename Request>
LRESULT SendTipRequest(HWND panel, HWND tool, UINT flags, UINT code, Request& tip) {
  tip.hdr.idFrom = reinterpret_cast<UINT_PTR>(tool);
  tip.hdr.code = code;
  tip.uFlags = flags;
  tip.lpszText = tip.szText;
  return SendMessageW(panel, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
}

TipAnswer AskTip(HWND panel, HWND tool, UINT flags) {
  if (SendMessageW(panel, WM_NOTIFYFORMAT, 0, NF_QUERY) == NFR_UNICODE) {
    NMTTDISPINFOW tip{};
    const LRESULT result = SendTipRequest(panel, tool, flags, TTN_NEEDTEXTW, tip);
    return TipAnswer{result, tip.lpszText != nullptr ? From932Wide(tip.lpszText) : "", tip.hinst != nullptr};
  }
  NMTTDISPINFOA tip{};
  const LRESULT result = SendTipRequest(panel, tool, flags, TTN_NEEDTEXTA, tip);
  wchar_t shown[256] = {};
  if (tip.lpszText != nullptr) MultiByteToWideChar(CP_ACP, 0, tip.lpszText, -1, shown, 256);
  return TipAnswer{result, From932Wide(shown), tip.hinst != nullptr};
}

TEST_F(BarTest, TooltipsOfButtonsAndSelectorsOnly) {
  CreatePanel();
  for (const Control& entry : kControls) {
    const TipAnswer answer = AskTip(hwnd_, GetDlgItem(hwnd_, entry.id), TTF_IDISHWND);
    EXPECT_EQ(answer.text, entry.tip != nullptr ? entry.tip : "") << entry.id;
    EXPECT_TRUE(answer.answered) << entry.id;
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
}

}  // namespace
