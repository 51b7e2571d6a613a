#include "appbar/appbar_wnd.h"

#include "appbar/appbar_geometry.h"
#include "system/system.h"
#include "system/win32_types.h"

using velkin::Rect;
using velkin::Size;
using velkin::ToRect;
using velkin::ToRECT;

namespace {

constexpr DWORD kBarStyle = WS_POPUP | WS_VISIBLE | WS_DLGFRAME;  // 0x90400000
constexpr DWORD kBarExStyle = WS_EX_TOOLWINDOW;                  // 0x80
constexpr UINT kBarClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;  // 11
// SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE
constexpr UINT kZOrderOnly = 0x13;

}  // namespace

UINT CAppBarWnd::s_taskbarCreated = 0;

BEGIN_MESSAGE_MAP(CAppBarWnd, CWnd)
  ON_WM_CREATE()
  ON_WM_DESTROY()
  ON_WM_ACTIVATE()
  ON_WM_SIZE()
  ON_WM_MOVE()
  ON_WM_WINDOWPOSCHANGED()
  ON_WM_NCHITTEST()
  ON_MESSAGE(WM_DISPLAYCHANGE, OnDisplayChange)
  ON_MESSAGE(velkin::WM_APPBAR_NOTIFY, OnAppBarNotify)
  ON_REGISTERED_MESSAGE(CAppBarWnd::s_taskbarCreated, OnTaskbarCreated)
END_MESSAGE_MAP()

CAppBarWnd::CAppBarWnd(velkin::SystemServices& sys) : m_abd(sys), m_screen(sys.ScreenSize()) {
  if (s_taskbarCreated == 0) s_taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
}

CAppBarWnd::~CAppBarWnd() = default;

BOOL CAppBarWnd::CreateBar(const RECT& rect) {
  const char* className = AfxRegisterWndClass(kBarClassStyle, LoadCursorA(nullptr, IDC_ARROW),
                                              GetSysColorBrush(COLOR_BTNFACE), nullptr);
  if (className == nullptr) return FALSE;
  return CreateEx(kBarExStyle, className, nullptr, kBarStyle, rect.left, rect.top,
                  rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr);
}

int CAppBarWnd::OnCreate(LPCREATESTRUCTA create) {
  if (Default() == -1) return -1;
  m_thickness = Size{create->cx, create->cy};
  m_abd.Init(m_hWnd, velkin::kEdgeLeft, Rect{}, 0, velkin::WM_APPBAR_NOTIFY);
  return 0;
}

BOOL CAppBarWnd::SetEdge(UINT edge) {
  RECT proposed = ToRECT(velkin::ScreenRect(m_screen));
  m_abd.abd.uEdge = edge;
  ApplyThickness(proposed, SIZE{m_thickness.cx, m_thickness.cy});
  QuerySetPos(proposed, TRUE);
  return TRUE;
}

void CAppBarWnd::ApplyThickness(RECT& rc, SIZE thickness) const {
  Rect r = ToRect(rc);
  velkin::ApplyThickness(m_abd.abd.uEdge, r, Size{thickness.cx, thickness.cy});
  rc = ToRECT(r);
}

void CAppBarWnd::QuerySetPos(RECT& proposed, BOOL move) {
  const Rect placed = velkin::NegotiatePosition(m_abd, ToRect(proposed), m_screen);
  if (move) MoveWindow(ToRECT(placed), TRUE);
}

void CAppBarWnd::OnSize(UINT /*type*/, int cx, int cy) {
  Default();
  if (cx == 0 || cy == 0) return;
  // Where the system cannot say where the window is, the bar stays as it is: a rectangle never
  // filled in would send it anywhere.
  RECT rect;
  if (!GetWindowRect(&rect)) return;
  QuerySetPos(rect, TRUE);
  if (!GetWindowRect(&rect)) return;
  if (m_abd.abd.uEdge == velkin::kEdgeTop || m_abd.abd.uEdge == velkin::kEdgeBottom) {
    m_thickness.cy = rect.bottom - rect.top;
  } else {
    m_thickness.cx = rect.right - rect.left;
  }
}

void CAppBarWnd::OnMove(int /*x*/, int /*y*/) {
  // Any move, by whoever, is answered by docking again.
  RECT rect;
  if (GetWindowRect(&rect)) QuerySetPos(rect, TRUE);
}

void CAppBarWnd::OnWindowPosChanged(WINDOWPOS* /*pos*/) {
  m_abd.WindowPosChanged();
  Default();
}

void CAppBarWnd::OnActivate(UINT /*state*/, HWND /*other*/, BOOL /*minimized*/) { m_abd.Activate(); }

void CAppBarWnd::OnDestroy() {
  m_abd.Remove();
  Default();
}

LRESULT CAppBarWnd::OnNcHitTest(POINT /*point*/) {
  return velkin::BarHitTest(m_abd.abd.uEdge, static_cast<int32_t>(Default()));
}

LRESULT CAppBarWnd::OnDisplayChange(WPARAM /*bitsPerPixel*/, LPARAM size) {
  // The bar moves only when the shell says so (ABN_POSCHANGED).
  m_screen = Size{LOWORD(size), HIWORD(size)};
  return 0;
}

LRESULT CAppBarWnd::OnAppBarNotify(WPARAM code, LPARAM param) {
  switch (code) {
    case velkin::kAbnPosChanged: {
      RECT proposed = ToRECT(velkin::ScreenRect(m_screen));
      RECT window;
      const SIZE thickness = GetWindowRect(&window) ? SIZE{window.right - window.left, window.bottom - window.top}
                                                     : SIZE{m_thickness.cx, m_thickness.cy};
      ApplyThickness(proposed, thickness);
      QuerySetPos(proposed, TRUE);
      break;
    }
    case velkin::kAbnFullScreenApp:
      // A full-screen application opens: make way for it; it closes: stay on top from then on.
      SetWindowPos(param != 0 ? wndBottom : wndTopMost, 0, 0, 0, 0, kZOrderOnly);
      break;
    default:
      break;
  }
  return 0;
}

LRESULT CAppBarWnd::OnTaskbarCreated(WPARAM, LPARAM) {
  // A restarted shell has forgotten every bar: register again and claim the strip anew. A shell
  // that still knows the bar refuses the second registration, which does no harm.
  if (m_abd.IsRegistered()) {
    m_abd.Register();
    SetEdge(m_abd.abd.uEdge);
  }
  return 0;
}
