#include "framework/framework.h"

#include "framework/text_edge.h"

#include <initializer_list>
#include <vector>

namespace {

CWinApp* g_app = nullptr;
long g_textSets = 0;

// A number in lower-case hexadecimal digits ("%lx").
std::string HexDigits(uintptr_t value) {
  std::string digits;
  do {
    digits.insert(digits.begin(), "0123456789abcdef"[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return digits;
}

bool RowTakes(const MsgMapRow& row, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (row.kind) {
    case MsgRowKind::kMessage:
      return row.message == message;
    case MsgRowKind::kRegistered:
      return *row.registered != 0 && *row.registered == message;
    case MsgRowKind::kCommand: {
      if (message != WM_COMMAND) return false;
      const UINT id = LOWORD(wParam);
      const UINT code = HIWORD(wParam);
      if (id < row.idFirst || id > row.idLast) return false;
      if (row.message == code) return true;
      // A command row also takes the same command from an accelerator.
      return row.message == 0 && code == 1 && lParam == 0;
    }
    case MsgRowKind::kNotify:
      return message == WM_NOTIFY && lParam != 0 &&
             reinterpret_cast<const NMHDR*>(lParam)->code == row.message;
    case MsgRowKind::kEnd:
      break;
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Application

CWinApp* AfxGetApp() { return g_app; }

HINSTANCE AfxGetInstanceHandle() { return GetModuleHandleA(nullptr); }

HINSTANCE AfxGetResourceHandle() { return GetModuleHandleA(nullptr); }

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

BOOL CWinApp::PreTranslateMessage(MSG* msg) {
  // What the windows do beforehand (relaying the mouse to their tooltips) is done with input
  // only; a tick is not worth a walk up the window's parents.
  const UINT message = msg->message;
  const bool input = (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
                     (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
  if (!input) return FALSE;
  for (HWND hWnd = msg->hwnd; hWnd != nullptr; hWnd = GetParent(hWnd)) {
    CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
    if (wnd != nullptr && wnd->PreTranslateMessage(msg)) return TRUE;
  }
  return FALSE;
}

int CWinApp::Run() {
  MSG msg{};
  for (;;) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) break;
    if (got == -1) {
      // The queue cannot be read: the program cannot go on. Its window is closed as a user
      // would close it, so that it ends as it ends then (its files saved, the bar taken off).
      if (m_pMainWnd != nullptr) m_pMainWnd->SendMessage(WM_CLOSE);
      break;
    }
    if (!PreTranslateMessage(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  const int code = ExitInstance();
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : code;
}

int AfxWinMain(HINSTANCE instance, int /*showCommand*/) {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return -1;
  app->m_hInstance = instance;
  InitCommonControls();
  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}

bool AfxPumpMessages() {
  MSG msg;
  bool quit = false;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quit = true;
      continue;
    }
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->PreTranslateMessage(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return !quit;
}

const char* AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon) {
  // One name per combination of attributes, as each needs its own class.
  static std::vector<std::string> names;
  std::string name = "VelkinWnd";  // "VelkinWnd:%lx:%lx:%lx:%lx"
  for (const uintptr_t attribute : {uintptr_t{classStyle}, reinterpret_cast<uintptr_t>(cursor),
                                    reinterpret_cast<uintptr_t>(background), reinterpret_cast<uintptr_t>(icon)}) {
    name += ':';
    name += HexDigits(attribute);
  }
  for (const std::string& known : names) {
    if (known == name) return known.c_str();
  }
  WNDCLASSA wc{};
  if (!GetClassInfoA(AfxGetInstanceHandle(), name.c_str(), &wc)) {
    wc.style = classStyle;
    wc.lpfnWndProc = &CWnd::FrameworkWndProc;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hIcon = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = name.c_str();
    if (!RegisterClassA(&wc)) return nullptr;
  }
  names.emplace_back(name);
  return names.back().c_str();
}

// ---------------------------------------------------------------------------------------------
// Windows

CWnd* CWnd::s_pWndInit = nullptr;
CWnd* CWnd::s_pAttached = nullptr;
MSG CWnd::s_currentMsg{};
long CWnd::s_liveObjects = 0;
const HWND CWnd::wndBottom = HWND_BOTTOM;
const HWND CWnd::wndTopMost = HWND_TOPMOST;

CWnd::CWnd() { ++s_liveObjects; }

CWnd::~CWnd() {
  --s_liveObjects;
  if (m_bAttached) {
    // The object goes before its window: the window must not call into a dead object.
    HWND hWnd = m_hWnd;
    Detach();
    ::DestroyWindow(hWnd);
  }
}

long CWnd::LiveObjectCount() { return s_liveObjects; }

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
  if (hWnd == nullptr) return nullptr;
  for (CWnd* wnd = s_pAttached; wnd != nullptr; wnd = wnd->m_pNextAttached) {
    if (wnd->m_hWnd == hWnd) return wnd;
  }
  return nullptr;
}

const MsgMap* CWnd::GetThisMessageMap() {
  static const MsgMapRow rows[] = {{MsgRowKind::kEnd, 0, 0, 0, nullptr, nullptr}};
  static const MsgMap map = {nullptr, rows};
  return &map;
}

const MsgMap* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

void CWnd::Attach(HWND hWnd) {
  Detach();
  m_hWnd = hWnd;
  m_pNextAttached = s_pAttached;
  s_pAttached = this;
  m_bAttached = true;
}

void CWnd::Detach() {
  if (m_bAttached) {
    CWnd** link = &s_pAttached;
    while (*link != nullptr && *link != this) link = &(*link)->m_pNextAttached;
    if (*link == this) *link = m_pNextAttached;
    m_pNextAttached = nullptr;
    m_bAttached = false;
  }
  m_hWnd = nullptr;
  m_shownTexts.clear();
}

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    int x, int y, int width, int height, HWND parent, HMENU menu, void* param) {
  // The object is attached at the window's first message (WM_GETMINMAXINFO or WM_NCCREATE), so
  // that its handlers see every message from the start.
  s_pWndInit = this;
  HWND hWnd = CreateWindowExA(exStyle, className, windowName, style, x, y, width, height, parent,
                              menu, AfxGetInstanceHandle(), param);
  if (s_pWndInit == this) s_pWndInit = nullptr;
  return hWnd != nullptr;
}

LRESULT CALLBACK CWnd::FrameworkWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* wnd = FromHandlePermanent(hWnd);
  if (wnd == nullptr && s_pWndInit != nullptr) {
    wnd = s_pWndInit;
    s_pWndInit = nullptr;
    wnd->Attach(hWnd);
  }
  if (wnd == nullptr) return DefWindowProcA(hWnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    wnd->OnNcDestroy(wParam, lParam);
    return 0;
  }
  return wnd->Route(message, wParam, lParam);
}

LRESULT CWnd::Route(UINT message, WPARAM wParam, LPARAM lParam) {
  // The message being handled is kept outside the object: a handler may destroy the window,
  // and with it the object, before the message is done.
  const MSG saved = s_currentMsg;
  s_currentMsg.hwnd = m_hWnd;
  s_currentMsg.message = message;
  s_currentMsg.wParam = wParam;
  s_currentMsg.lParam = lParam;
  ++m_nRouteDepth;
  const LRESULT result = WindowProc(message, wParam, lParam);
  s_currentMsg = saved;
  if (--m_nRouteDepth == 0 && m_bReleasePending) {
    m_bReleasePending = false;
    PostNcDestroy();  // may delete this
  }
  return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // The common controls ask in which form to notify; the answer follows the program's texts.
  if (message == WM_NOTIFYFORMAT && lParam == NF_QUERY) return velkin::AnswerNotifyFormat();
  LRESULT result = 0;
  if (Dispatch(message, wParam, lParam, &result)) return result;
  return Default();
}

bool CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  for (const MsgMap* map = GetMessageMap(); map != nullptr;
       map = map->base != nullptr ? map->base() : nullptr) {
    for (const MsgMapRow* row = map->rows; row->kind != MsgRowKind::kEnd; ++row) {
      if (RowTakes(*row, message, wParam, lParam) && row->handler(this, wParam, lParam, result)) {
        return true;
      }
    }
  }
  return false;
}

LRESULT CWnd::Default() {
  return DefWindowProcA(s_currentMsg.hwnd, s_currentMsg.message, s_currentMsg.wParam,
                        s_currentMsg.lParam);
}

void CWnd::OnNcDestroy(WPARAM wParam, LPARAM lParam) {
  DefWindowProcA(m_hWnd, WM_NCDESTROY, wParam, lParam);
  Detach();
  m_toolTip.Destroy();
  CWinApp* app = AfxGetApp();
  if (app != nullptr && app->m_pMainWnd == this) {
    app->m_pMainWnd = nullptr;
    PostQuitMessage(0);
  }
  // A handler of this window is still under way: the window went while it waited in a modal
  // loop (a dialog, a menu), which its destruction ended. The object stays for that handler to
  // return into and is let go once it has.
  if (m_nRouteDepth > 0) {
    m_bReleasePending = true;
    return;
  }
  PostNcDestroy();  // may delete this
}

void CWnd::PostNcDestroy() {}

BOOL CWnd::PreTranslateMessage(MSG* /*msg*/) { return FALSE; }

void CWnd::DoDataExchange(CDataExchange* /*dx*/) {}

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  DoDataExchange(&dx);
  return TRUE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::DestroyWindow() { return m_hWnd != nullptr && ::DestroyWindow(m_hWnd); }

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
  ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

void CWnd::MoveWindow(const RECT& rect, BOOL repaint) {
  MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
}

BOOL CWnd::SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  return ::SetWindowPos(m_hWnd, insertAfter, x, y, cx, cy, flags);
}

BOOL CWnd::GetWindowRect(RECT* rect) const { return ::GetWindowRect(m_hWnd, rect); }

void CWnd::GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }

HWND CWnd::GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }

void CWnd::SetFont(HFONT font, BOOL redraw) {
  SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), MAKELPARAM(redraw, 0));
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add) {
  const DWORD style = static_cast<DWORD>(GetWindowLongA(m_hWnd, GWL_STYLE));
  const DWORD changed = (style & ~remove) | add;
  if (changed == style) return FALSE;
  SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>(changed));
  return TRUE;
}

BOOL CWnd::ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }

void CWnd::SetWindowText(const char* text) { velkin::SetWindowText932(m_hWnd, text); }

CString CWnd::GetWindowText() const { return velkin::WindowText(m_hWnd); }

BOOL CWnd::EnableToolTips(BOOL enable) {
  if (m_toolTip.Get() == nullptr) {
    if (!enable) return TRUE;
    InitCommonControls();
    // Not owned by this window: an owned topmost popup would keep the owner itself out of the
    // topmost band on some systems. It is destroyed with this window all the same.
    m_toolTip.Reset(CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                    AfxGetInstanceHandle(), nullptr));
    if (m_toolTip.Get() == nullptr) return FALSE;
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      velkin::AddCallbackTool(m_toolTip.Get(), m_hWnd, child);
    }
  }
  ::SendMessageA(m_toolTip.Get(), TTM_ACTIVATE, enable ? TRUE : FALSE, 0);
  return TRUE;
}

void CWnd::FilterToolTipMessage(MSG* msg) {
  if (m_toolTip.Get() == nullptr) return;
  switch (msg->message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      break;
    default:
      return;
  }
  if (msg->hwnd != m_hWnd && !IsChild(m_hWnd, msg->hwnd)) return;
  ::SendMessageA(m_toolTip.Get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
}

// ---------------------------------------------------------------------------------------------
// Modal dialogs

BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ON_COMMAND(IDOK, OnOK)
  ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

INT_PTR CDialog::DoModal(CWnd* owner) {
  CWnd* const parent = m_pParentWnd;
  m_pParentWnd = owner;
  const INT_PTR result = DoModal();
  m_pParentWnd = parent;
  return result;
}

INT_PTR CDialog::DoModal() {
  // Shown already: a command for it came in through its own modal loop. No second loop.
  if (m_hWnd != nullptr) return -1;
  CWnd* owner = m_pParentWnd;
  if (owner == nullptr && AfxGetApp() != nullptr) owner = AfxGetApp()->m_pMainWnd;
  return velkin::DialogBox932(AfxGetResourceHandle(), m_nIDTemplate, owner != nullptr ? owner->GetSafeHwnd() : nullptr,
                              &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
    dialog->Attach(hWnd);
    return dialog->OnInitDialog();
  }
  CDialog* dialog = static_cast<CDialog*>(FromHandlePermanent(hWnd));
  if (dialog == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    dialog->Detach();
    return FALSE;
  }
  LRESULT result = 0;
  if (!dialog->Dispatch(message, wParam, lParam, &result)) return FALSE;  // the dialog manager's
  SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
  return TRUE;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  UpdateData(TRUE);
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int result) { ::EndDialog(m_hWnd, result); }

// ---------------------------------------------------------------------------------------------
// Controls

BOOL AfxCreateControl(CWnd* control, const char* className, const char* text, DWORD style,
                      const RECT& rect, CWnd* parent, UINT id) {
  control->m_hWnd = CreateWindowExA(0, className, text, style, rect.left, rect.top,
                                    rect.right - rect.left, rect.bottom - rect.top,
                                    parent->GetSafeHwnd(),
                                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                    AfxGetInstanceHandle(), nullptr);
  return control->m_hWnd != nullptr;
}

BOOL CButton::Create(const char* caption, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return AfxCreateControl(this, "BUTTON", caption, style, rect, parent, id);
}

HICON CButton::SetIcon(HICON icon) {
  return reinterpret_cast<HICON>(SendMessage(BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon)));
}

HICON CButton::GetIcon() const {
  return reinterpret_cast<HICON>(SendMessage(BM_GETIMAGE, IMAGE_ICON, 0));
}

BOOL CStatic::Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return AfxCreateControl(this, "STATIC", text, style, rect, parent, id);
}

BOOL CComboBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return AfxCreateControl(this, "COMBOBOX", "", style, rect, parent, id);
}

int CComboBox::AddString(const char* text) {
  return static_cast<int>(velkin::SendText(m_hWnd, CB_ADDSTRING, 0, text));
}

int CComboBox::GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }

int CComboBox::GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }

int CComboBox::SetCurSel(int index) {
  return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)));
}

bool CComboBox::GetLBText(int index, CString& text) const {
  return velkin::EntryText(m_hWnd, CB_GETLBTEXTLEN, CB_GETLBTEXT, index, text);
}

int CListBox::AddString(const char* text) {
  return static_cast<int>(velkin::SendText(m_hWnd, LB_ADDSTRING, 0, text));
}

int CListBox::DeleteString(int index) { return static_cast<int>(SendMessage(LB_DELETESTRING, static_cast<WPARAM>(index))); }

int CListBox::GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }

int CListBox::GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }

int CListBox::SetCurSel(int index) { return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index))); }

bool CListBox::GetText(int index, CString& text) const {
  return velkin::EntryText(m_hWnd, LB_GETTEXTLEN, LB_GETTEXT, index, text);
}

// ---------------------------------------------------------------------------------------------
// Menus

CMenu::~CMenu() {
  if (m_hMenu != nullptr) DestroyMenu(m_hMenu);
}

BOOL CMenu::LoadMenu(UINT id) {
  if (m_hMenu != nullptr) DestroyMenu(m_hMenu);
  m_hMenu = ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id));
  return m_hMenu != nullptr;
}

BOOL CMenu::ModifyMenu(UINT item, UINT flags, UINT_PTR newItem, const char* text) {
  return velkin::ModifyMenu932(m_hMenu, item, flags, newItem, text);
}

UINT CMenu::EnableMenuItem(UINT item, UINT flags) { return ::EnableMenuItem(m_hMenu, item, flags); }

// ---------------------------------------------------------------------------------------------
// Data exchange

CString* CWnd::ShownText(int id) {
  for (auto& shown : m_shownTexts) {
    if (shown.first == id) return &shown.second;
  }
  return nullptr;
}

void CWnd::RememberShownText(int id, const CString& text) {
  if (CString* shown = ShownText(id)) {
    *shown = text;
  } else {
    m_shownTexts.emplace_back(id, text);
  }
}

void DDX_Text(CDataExchange* dx, int id, CString& value) {
  CWnd* wnd = dx->m_pDlgWnd;
  if (dx->m_bSaveAndValidate) {
    HWND control = wnd->GetDlgItem(id);
    if (control != nullptr) value = velkin::WindowText(control);
    if (control != nullptr) wnd->RememberShownText(id, value);
    return;
  }
  const CString* shown = wnd->ShownText(id);
  if (shown != nullptr && *shown == value) return;
  HWND control = wnd->GetDlgItem(id);
  if (control == nullptr) return;
  if (shown != nullptr || velkin::WindowText(control) != value) {
    velkin::SetWindowText932(control, value.c_str());
    ++g_textSets;
  }
  wnd->RememberShownText(id, value);
}

long AfxTextSetCount() { return g_textSets; }

void DDX_Control(CDataExchange* dx, int id, CWnd& control) { control.m_hWnd = dx->m_pDlgWnd->GetDlgItem(id); }

// ---------------------------------------------------------------------------------------------
// Painting and GDI objects

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd->GetSafeHwnd()) { m_hDC = BeginPaint(m_hWnd, &m_ps); }

CPaintDC::~CPaintDC() { EndPaint(m_hWnd, &m_ps); }

CFont::~CFont() {
  if (m_hObject != nullptr) DeleteObject(m_hObject);
}

BOOL CFont::CreateIconTitleFont() {
  if (m_hObject != nullptr) DeleteObject(m_hObject);
  m_hObject = velkin::CreateIconTitleFont();
  return m_hObject != nullptr;
}
