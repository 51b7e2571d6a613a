#include "panel/panel_wnd.h"

#include "panel/panel_layout.h"
#include "res/resource.h"

using velkin::ControlKind;
using velkin::ControlSpec;
using velkin::kPanelControls;

namespace {

RECT ToRECT(const velkin::Rect& r) {
  RECT out;
  out.left = r.left;
  out.top = r.top;
  out.right = r.right;
  out.bottom = r.bottom;
  return out;
}

// Each static control's ID with the string it shows, in creation order.
struct BoundText {
  int id;
  CString CPanelWnd::*text;
};

const BoundText kBoundTexts[CPanelWnd::kStaticCount] = {
    {IDC_FREESPACE_LABEL, &CPanelWnd::m_strFreeSpaceLabel},
    {IDC_TOTALCAP_LABEL, &CPanelWnd::m_strTotalCapLabel},
    {IDC_FREESPACE_VALUE, &CPanelWnd::m_strFreeSpaceValue},
    {IDC_TOTALCAP_VALUE, &CPanelWnd::m_strTotalCapValue},
    {IDC_RESOURCE_LABEL, &CPanelWnd::m_strResourceLabel},
    {IDC_MEMORY_LABEL, &CPanelWnd::m_strMemoryLabel},
    {IDC_RESOURCE_VALUE, &CPanelWnd::m_strResourceValue},
    {IDC_MEMORY_VALUE, &CPanelWnd::m_strMemoryValue},
    {IDC_INTERVAL_CAPTION, &CPanelWnd::m_strIntervalCaption},
    {IDC_DRIVE_CAPTION, &CPanelWnd::m_strDriveCaption},
};

constexpr UINT kEdgeTop = 1;
constexpr UINT kResizeOnly = SWP_NOMOVE | SWP_NOZORDER;  // 6

}  // namespace

BEGIN_MESSAGE_MAP(CPanelWnd, CAppBarWnd)
  ON_WM_CREATE()
  ON_WM_PAINT()
  ON_COMMAND(IDC_EXIT, OnExit)
  ON_NOTIFY_EX(TTN_NEEDTEXTA, OnToolTipNotify)
END_MESSAGE_MAP()

CPanelWnd::CPanelWnd() = default;

CPanelWnd::~CPanelWnd() {
  // The child windows are gone by now (the object outlives its window); this frees the objects.
  delete m_pSuspendButton;
  delete m_pRestartWindowsButton;
  delete m_pShutdownButton;
  delete m_pRestartSystemButton;
  delete m_pMinimizeAllButton;
  delete m_pExitButton;
  for (CStatic*& control : m_pStatics) {
    delete control;
    control = nullptr;
  }
  delete m_pIntervalSelector;
  delete m_pDriveSelector;
}

int CPanelWnd::OnCreate(LPCREATESTRUCTA create) {
  if (CAppBarWnd::OnCreate(create) == -1) return -1;

  CreateControls();

  // The two selectors keep their top-left corners and take their final sizes.
  if (m_pDriveSelector->GetSafeHwnd() != nullptr) {
    m_pDriveSelector->SetWindowPos(nullptr, 0, 0, velkin::kDriveSelectorSize.cx,
                                   velkin::kDriveSelectorSize.cy, kResizeOnly);
  }
  if (m_pIntervalSelector->GetSafeHwnd() != nullptr) {
    m_pIntervalSelector->SetWindowPos(nullptr, 0, 0, velkin::kIntervalSelectorSize.cx,
                                      velkin::kIntervalSelectorSize.cy, kResizeOnly);
  }

  EnableToolTips(TRUE);
  m_abd.Register();
  SetEdge(kEdgeTop);
  return 0;
}

void CPanelWnd::CreateControls() {
  CButton** buttons[] = {&m_pSuspendButton,     &m_pRestartWindowsButton, &m_pRestartSystemButton,
                         &m_pShutdownButton,    &m_pMinimizeAllButton,    &m_pExitButton};
  CComboBox** selectors[] = {&m_pIntervalSelector, &m_pDriveSelector};
  const ControlSpec* buttonSpecs[6] = {};
  const ControlSpec* selectorSpecs[2] = {};
  size_t nButtons = 0, nStatics = 0, nSelectors = 0;
  for (const ControlSpec& spec : kPanelControls) {
    switch (spec.kind) {
      case ControlKind::kButton: buttonSpecs[nButtons++] = &spec; break;
      case ControlKind::kComboBox: selectorSpecs[nSelectors++] = &spec; break;
      case ControlKind::kStatic: break;
    }
  }

  // The image buttons, then their icons.
  for (size_t i = 0; i < nButtons; ++i) {
    *buttons[i] = new CButton;
    (*buttons[i])->Create("", buttonSpecs[i]->style, ToRECT(buttonSpecs[i]->rect), this,
                          static_cast<UINT>(buttonSpecs[i]->id));
  }
  CWinApp* app = AfxGetApp();
  for (size_t i = 0; i < nButtons; ++i) {
    const UINT icon = static_cast<UINT>(buttonSpecs[i]->icon);
    (*buttons[i])->SetIcon(app != nullptr ? app->LoadIcon(icon)
                                          : LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(icon)));
  }

  // The statics, each with its first text in its string.
  for (const ControlSpec& spec : kPanelControls) {
    if (spec.kind != ControlKind::kStatic) continue;
    CStatic* control = new CStatic;
    m_pStatics[nStatics] = control;
    control->Create("", spec.style, ToRECT(spec.rect), this, static_cast<UINT>(spec.id));
    this->*kBoundTexts[nStatics].text = spec.content;
    ++nStatics;
  }

  CreatePanelFont();
  for (CStatic* control : m_pStatics) control->SetFont(m_font.GetSafeHandle(), TRUE);
  UpdateData(FALSE);

  for (size_t i = 0; i < nSelectors; ++i) {
    *selectors[i] = new CComboBox;
    (*selectors[i])->Create(selectorSpecs[i]->style, ToRECT(selectorSpecs[i]->rect), this,
                            static_cast<UINT>(selectorSpecs[i]->id));
    (*selectors[i])->SetFont(m_font.GetSafeHandle(), TRUE);
  }
}

void CPanelWnd::CreatePanelFont() {
  // The icon-title font, taken as it is.
  LOGFONTA logFont{};
  SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof logFont, &logFont, 0);
  m_font.CreateFontIndirect(&logFont);
}

void CPanelWnd::DoDataExchange(CDataExchange* dx) {
  CAppBarWnd::DoDataExchange(dx);
  for (const BoundText& bound : kBoundTexts) DDX_Text(dx, bound.id, this->*bound.text);
}

void CPanelWnd::OnPaint() {
  // The class brush paints the background and every control paints itself.
  CPaintDC dc(this);
}

BOOL CPanelWnd::PreTranslateMessage(MSG* msg) {
  FilterToolTipMessage(msg);
  return CAppBarWnd::PreTranslateMessage(msg);
}

BOOL CPanelWnd::OnToolTipNotify(UINT /*id*/, NMHDR* header, LRESULT* /*result*/) {
  TOOLTIPTEXTA* tip = reinterpret_cast<TOOLTIPTEXTA*>(header);
  if ((tip->uFlags & TTF_IDISHWND) == 0) return FALSE;
  const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(header->idFrom));
  if (id == 0) return FALSE;
  if (const char* text = velkin::TooltipText(id)) tip->lpszText = const_cast<char*>(text);
  tip->hinst = AfxGetResourceHandle();
  return TRUE;
}

void CPanelWnd::OnExit() {
  // Closing the window removes the bar from the shell and ends the program.
  PostMessage(WM_CLOSE);
}
