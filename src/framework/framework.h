// A small window framework over Win32: an application object with the message loop, a window
// wrapper with one message table per class, the few control wrappers the program uses, data
// exchange from strings to controls, tooltips, a paint DC and a font.
//
// Message tables read like this:
//
//   BEGIN_MESSAGE_MAP(CMyWnd, CWnd)
//     ON_WM_CREATE()
//     ON_COMMAND(IDC_EXIT, OnExit)
//   END_MESSAGE_MAP()
//
// A message goes to the first row that takes it, in the class's own table first, then in its
// base class's table, and so on; a message no row takes gets the default processing once.
#ifndef VELKIN_FRAMEWORK_FRAMEWORK_H
#define VELKIN_FRAMEWORK_FRAMEWORK_H

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

// Texts are CP932 byte strings.
using CString = std::string;

class CWnd;
class CWinApp;
class CDataExchange;

// ---------------------------------------------------------------------------------------------
// Message tables

// Handles one message for a window; returns false when the row declines it (the search goes on).
using MsgHandler = bool (*)(CWnd* wnd, WPARAM wParam, LPARAM lParam, LRESULT* result);

enum class MsgRowKind : unsigned char {
  kEnd,         // closes a table
  kMessage,     // a window message
  kRegistered,  // a message number registered at run time (RegisterWindowMessage)
  kCommand,     // WM_COMMAND with a control or menu ID in [idFirst, idLast] and a notification code
  kNotify,      // WM_NOTIFY with a notification code
};

struct MsgMapRow {
  MsgRowKind kind;
  UINT message;           // kMessage: the message; kCommand, kNotify: the notification code
  UINT idFirst;
  UINT idLast;
  const UINT* registered;  // kRegistered: where the registered number is kept
  MsgHandler handler;
};

struct MsgMap {
  const MsgMap* (*base)();  // the base class's table, nullptr at the root
  const MsgMapRow* rows;
};

#define DECLARE_MESSAGE_MAP()                  \
 protected:                                    \
  static const MsgMap* GetThisMessageMap();    \
  const MsgMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
  const MsgMap* theClass::GetMessageMap() const { return GetThisMessageMap(); }    \
  const MsgMap* theClass::GetThisMessageMap() {                                     \
    using ThisClass = theClass;                                                     \
    using TheBaseClass = baseClass;                                                 \
    static const MsgMapRow rows[] = {

#define END_MESSAGE_MAP()                                                           \
  {MsgRowKind::kEnd, 0, 0, 0, nullptr, nullptr}};                                   \
    static const MsgMap map = {&TheBaseClass::GetThisMessageMap, rows};             \
    return &map;                                                                    \
  }

// One row whose handler runs `call` with `self` (the window, as ThisClass), wParam, lParam and
// pResult in scope, and takes the message.
#define VELKIN_MSG_ROW(kind, message, first, last, registered, call)                \
  {MsgRowKind::kind, (message), (first), (last), (registered),                      \
   [](CWnd* wnd_, WPARAM wParam, LPARAM lParam, LRESULT* pResult) -> bool {         \
     ThisClass* self = static_cast<ThisClass*>(wnd_);                               \
     (void)self; (void)wParam; (void)lParam; (void)pResult;                         \
     call;                                                                          \
     return true;                                                                   \
   }},

#define ON_WM_CREATE() \
  VELKIN_MSG_ROW(kMessage, WM_CREATE, 0, 0, nullptr, \
                 *pResult = self->OnCreate(reinterpret_cast<LPCREATESTRUCTA>(lParam)))
#define ON_WM_DESTROY() VELKIN_MSG_ROW(kMessage, WM_DESTROY, 0, 0, nullptr, self->OnDestroy())
#define ON_WM_ACTIVATE() \
  VELKIN_MSG_ROW(kMessage, WM_ACTIVATE, 0, 0, nullptr, \
                 self->OnActivate(LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam) != 0))
#define ON_WM_SIZE() \
  VELKIN_MSG_ROW(kMessage, WM_SIZE, 0, 0, nullptr, \
                 self->OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)))
#define ON_WM_MOVE() \
  VELKIN_MSG_ROW(kMessage, WM_MOVE, 0, 0, nullptr, \
                 self->OnMove(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))))
#define ON_WM_WINDOWPOSCHANGED() \
  VELKIN_MSG_ROW(kMessage, WM_WINDOWPOSCHANGED, 0, 0, nullptr, \
                 self->OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(lParam)))
#define ON_WM_NCHITTEST() \
  VELKIN_MSG_ROW(kMessage, WM_NCHITTEST, 0, 0, nullptr, *pResult = self->OnNcHitTest(AfxPointFromLParam(lParam)))
#define ON_WM_PAINT() VELKIN_MSG_ROW(kMessage, WM_PAINT, 0, 0, nullptr, self->OnPaint())
#define ON_WM_TIMER() \
  VELKIN_MSG_ROW(kMessage, WM_TIMER, 0, 0, nullptr, self->OnTimer(static_cast<UINT_PTR>(wParam)))
#define ON_WM_CONTEXTMENU() \
  VELKIN_MSG_ROW(kMessage, WM_CONTEXTMENU, 0, 0, nullptr, \
                 self->OnContextMenu(reinterpret_cast<HWND>(wParam), AfxPointFromLParam(lParam)))
// void OnClose()
#define ON_WM_CLOSE() VELKIN_MSG_ROW(kMessage, WM_CLOSE, 0, 0, nullptr, self->OnClose())
// BOOL OnQueryEndSession(): TRUE lets the session end.
#define ON_WM_QUERYENDSESSION() \
  VELKIN_MSG_ROW(kMessage, WM_QUERYENDSESSION, 0, 0, nullptr, *pResult = self->OnQueryEndSession())
// void OnEndSession(BOOL ending)
#define ON_WM_ENDSESSION() \
  VELKIN_MSG_ROW(kMessage, WM_ENDSESSION, 0, 0, nullptr, self->OnEndSession(wParam != 0))
// LRESULT fn(WPARAM, LPARAM)
#define ON_MESSAGE(message, fn) \
  VELKIN_MSG_ROW(kMessage, message, 0, 0, nullptr, *pResult = self->fn(wParam, lParam))
// LRESULT fn(WPARAM, LPARAM); `variable` is a static UINT filled before the window exists.
#define ON_REGISTERED_MESSAGE(variable, fn) \
  VELKIN_MSG_ROW(kRegistered, 0, 0, 0, &(variable), *pResult = self->fn(wParam, lParam))
// void fn(): a menu command, an accelerator or a button click.
#define ON_COMMAND(id, fn) VELKIN_MSG_ROW(kCommand, 0, id, id, nullptr, self->fn())
// void fn(UINT id)
#define ON_COMMAND_RANGE(first, last, fn) \
  VELKIN_MSG_ROW(kCommand, 0, first, last, nullptr, self->fn(LOWORD(wParam)))
// void fn()
#define ON_CBN_SELCHANGE(id, fn) VELKIN_MSG_ROW(kCommand, CBN_SELCHANGE, id, id, nullptr, self->fn())
// BOOL fn(UINT id, NMHDR* header, LRESULT* result): FALSE lets the search go on.
#define ON_NOTIFY_EX(code, fn)                                                          \
  {MsgRowKind::kNotify, static_cast<UINT>(code), 0, 0, nullptr,                         \
   [](CWnd* wnd_, WPARAM wParam, LPARAM lParam, LRESULT* pResult) -> bool {             \
     return static_cast<ThisClass*>(wnd_)->fn(static_cast<UINT>(wParam),                \
                                              reinterpret_cast<NMHDR*>(lParam), pResult) \
            != FALSE;                                                                   \
   }},

inline POINT AfxPointFromLParam(LPARAM lParam) {
  POINT pt;
  pt.x = static_cast<short>(LOWORD(lParam));
  pt.y = static_cast<short>(HIWORD(lParam));
  return pt;
}

// ---------------------------------------------------------------------------------------------
// Application

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();

// Registers (once) a window class with the framework's window procedure and returns its name.
const char* AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon);

// Runs the application object: InitInstance, then the message loop. Called from WinMain.
int AfxWinMain(HINSTANCE instance, int showCommand);

// Dispatches every message waiting in this thread's queue, as the message loop would; returns
// false when WM_QUIT was among them. For tests that drive windows without the loop.
bool AfxPumpMessages();

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitInstance();
  virtual int Run();
  virtual int ExitInstance();
  // Gives the target window and each of its framework ancestors a look at a mouse or keyboard
  // message before it is dispatched; true when one of them handled it. Other messages (a
  // timer's tick among them) are dispatched at once: no window looks at them beforehand.
  virtual BOOL PreTranslateMessage(MSG* msg);

  CWnd* m_pMainWnd = nullptr;
  HINSTANCE m_hInstance = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Windows

// A window that one object makes and owns (a window's tooltip control): destroyed by Destroy
// or with the object, whichever comes first.
class COwnedWindow {
 public:
  COwnedWindow() = default;
  ~COwnedWindow() { Destroy(); }
  COwnedWindow(const COwnedWindow&) = delete;
  COwnedWindow& operator=(const COwnedWindow&) = delete;

  // Takes `hWnd`, destroying the window held before.
  void Reset(HWND hWnd) {
    Destroy();
    m_hWnd = hWnd;
  }
  void Destroy() {
    if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
  }
  HWND Get() const { return m_hWnd; }

 private:
  HWND m_hWnd = nullptr;
};

class CWnd {
 public:
  CWnd();
  // A window created by the framework that still exists is destroyed with its object. Child
  // controls are not the framework's windows: their parent window destroys them.
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // The framework's object of a window it created, or nullptr.
  static CWnd* FromHandlePermanent(HWND hWnd);
  // How many window objects exist; lets tests check that every object made is deleted.
  static long LiveObjectCount();

  HWND GetSafeHwnd() const { return m_hWnd; }

  // Creates a window of a class registered with AfxRegisterWndClass, attached to this object.
  BOOL CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x,
                int y, int width, int height, HWND parent, HMENU menu, void* param = nullptr);

  virtual BOOL PreTranslateMessage(MSG* msg);
  virtual void PostNcDestroy();
  virtual void DoDataExchange(CDataExchange* dx);

  // Exchanges texts between the object's strings and its controls: FALSE copies the strings
  // into the controls, TRUE reads them back.
  BOOL UpdateData(BOOL saveAndValidate = TRUE);

  // The default processing of the message being handled.
  LRESULT Default();

  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  BOOL DestroyWindow();
  void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
  void MoveWindow(const RECT& rect, BOOL repaint = TRUE);
  BOOL SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
  // FALSE, and `rect` as it was, when the system could not say.
  BOOL GetWindowRect(RECT* rect) const;
  void GetClientRect(RECT* rect) const;
  HWND GetDlgItem(int id) const;
  int GetDlgCtrlID() const;
  void SetFont(HFONT font, BOOL redraw = TRUE);
  BOOL ModifyStyle(DWORD remove, DWORD add);
  BOOL ShowWindow(int command);
  void SetWindowText(const char* text);
  CString GetWindowText() const;

  // Tooltips for every child control that exists when this is called: each is a tool identified
  // by its window handle, whose text is asked for with TTN_NEEDTEXTA, or TTN_NEEDTEXTW where
  // texts cross as UTF-16, when the tip is to show (AnswerTipText answers both).
  BOOL EnableToolTips(BOOL enable = TRUE);
  // Hands mouse messages for this window and its children to the tooltip control.
  void FilterToolTipMessage(MSG* msg);
  HWND GetToolTipHwnd() const { return m_toolTip.Get(); }

  // Places in the z-order for SetWindowPos.
  static const HWND wndBottom;
  static const HWND wndTopMost;

  // The window procedure of every class registered with AfxRegisterWndClass.
  static LRESULT CALLBACK FrameworkWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

  HWND m_hWnd = nullptr;

  // The texts DDX_Text has put into this window's controls, by control ID: what they show, as
  // nothing else writes them. Forgotten when the window goes.
  CString* ShownText(int id);
  void RememberShownText(int id, const CString& text);

 protected:
  static const MsgMap* GetThisMessageMap();
  virtual const MsgMap* GetMessageMap() const;
  // Routes a message through the message tables, or to Default.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Hands a message to the first row of the message tables that takes it; false when none did.
  bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  void Attach(HWND hWnd);
  void Detach();

 private:
  LRESULT Route(UINT message, WPARAM wParam, LPARAM lParam);
  void OnNcDestroy(WPARAM wParam, LPARAM lParam);

  COwnedWindow m_toolTip;
  std::vector<std::pair<int, CString>> m_shownTexts;
  // How many of this window's messages are being handled, one inside another; PostNcDestroy
  // waits for the outermost to return.
  int m_nRouteDepth = 0;
  bool m_bReleasePending = false;
  // The objects attached to windows, the latest first, linked through the objects: a window's
  // object is found without asking the system (a window property costs a round trip to the
  // window server at every message under Wine).
  CWnd* m_pNextAttached = nullptr;
  bool m_bAttached = false;
  static CWnd* s_pAttached;
  static CWnd* s_pWndInit;
  static MSG s_currentMsg;  // the message the innermost handler is working on
  static long s_liveObjects;

};

// ---------------------------------------------------------------------------------------------
// Modal dialogs from templates in the resources

class CDialog : public CWnd {
 public:
  // `parent` may be null: the dialog then belongs to the application's main window, if any.
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);

  // Shows the dialog, owned by its parent (or else by the application's main window), and
  // returns when it has ended, with the code given to EndDialog (IDOK or IDCANCEL), 0 when its
  // owner was destroyed meanwhile, or -1 when it could not be shown or is shown already.
  virtual INT_PTR DoModal();
  // The same with `owner` for this showing.
  INT_PTR DoModal(CWnd* owner);

  // Called once the dialog's controls exist; puts the strings into the controls. TRUE lets the
  // system set the focus.
  virtual BOOL OnInitDialog();
  // Enter, and the IDOK command: reads the controls back and ends with IDOK.
  virtual void OnOK();
  // Esc, the close box, and the IDCANCEL command: ends with IDCANCEL.
  virtual void OnCancel();
  void EndDialog(int result);

  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;

 protected:
  static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

  DECLARE_MESSAGE_MAP()
};

// ---------------------------------------------------------------------------------------------
// Controls: thin wrappers that create a system control and talk to it with its messages.

class CButton : public CWnd {
 public:
  BOOL Create(const char* caption, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  HICON SetIcon(HICON icon);
  HICON GetIcon() const;
};

class CStatic : public CWnd {
 public:
  BOOL Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
};

class CComboBox : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  int AddString(const char* text);
  int GetCount() const;
  int GetCurSel() const;
  int SetCurSel(int index);
  // The text of entry `index`; false (and `text` emptied) when there is no such entry.
  bool GetLBText(int index, CString& text) const;
};

class CListBox : public CWnd {
 public:
  int AddString(const char* text);
  int DeleteString(int index);
  int GetCount() const;
  int GetCurSel() const;
  int SetCurSel(int index);
  // The text of entry `index`, whole however long; false (and `text` emptied) when there is no
  // such entry.
  bool GetText(int index, CString& text) const;
};

// Creates a child control of a system class; the window belongs to its parent.
BOOL AfxCreateControl(CWnd* control, const char* className, const char* text, DWORD style,
                      const RECT& rect, CWnd* parent, UINT id);

// ---------------------------------------------------------------------------------------------
// Data exchange

class CDataExchange {
 public:
  CDataExchange(CWnd* wnd, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(wnd) {}
  BOOL m_bSaveAndValidate;
  CWnd* m_pDlgWnd;
};

// Copies `value` into the text of control `id` only when the control shows something else, so
// an unchanged string repaints nothing; or, when saving, reads the control's text into `value`.
// What a control shows is asked of it once and then remembered, so that an exchange of
// unchanged strings costs no message at all.
void DDX_Text(CDataExchange* dx, int id, CString& value);

// Binds a control object to the dialog's control `id`.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

// How many control texts DDX_Text has set since the process started.
long AfxTextSetCount();

// ---------------------------------------------------------------------------------------------
// Menus

// A menu loaded from the resources, destroyed with its object.
class CMenu {
 public:
  CMenu() = default;
  ~CMenu();
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;

  BOOL LoadMenu(UINT id);
  HMENU GetSafeHmenu() const { return m_hMenu; }
  // A submenu belongs to its menu and goes with it.
  HMENU GetSubMenu(int position) const { return ::GetSubMenu(m_hMenu, position); }
  BOOL ModifyMenu(UINT item, UINT flags, UINT_PTR newItem, const char* text);
  UINT EnableMenuItem(UINT item, UINT flags);

 private:
  HMENU m_hMenu = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Painting and GDI objects

class CPaintDC {
 public:
  explicit CPaintDC(CWnd* wnd);
  ~CPaintDC();
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;

  HDC m_hDC;
  PAINTSTRUCT m_ps;

 private:
  HWND m_hWnd;
};

class CFont {
 public:
  CFont() = default;
  ~CFont();
  CFont(const CFont&) = delete;
  CFont& operator=(const CFont&) = delete;

  // The icon-title font, as the system describes it.
  BOOL CreateIconTitleFont();
  HFONT GetSafeHandle() const { return m_hObject; }

 private:
  HFONT m_hObject = nullptr;
};

#endif
