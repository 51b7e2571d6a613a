#include "panel/panel_wnd.h"

#include "framework/text_edge.h"

#include "panel/panel_layout.h"
#include "readouts/format.h"
#include "settings/settings_file.h"
#include "system/win32_types.h"
#include "res/resource.h"

using velkin::PanelControl;

const CPanelWnd::BoundText CPanelWnd::s_boundTexts[CPanelWnd::kStaticCount] = {
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

const int CPanelWnd::s_buttonIds[CPanelWnd::kButtonCount] = {IDC_SUSPEND,  IDC_RESTARTWINDOWS, IDC_RESTARTSYSTEM,
                                                              IDC_SHUTDOWN, IDC_MINIMIZEALL,    IDC_EXIT};

namespace {

const PanelControl& PlaceOf(int id) { return *velkin::FindPanelControl(id); }

HICON LoadPanelIcon(int id) { return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id)); }

constexpr UINT kResizeOnly = SWP_NOMOVE | SWP_NOZORDER;  // 6

}  // namespace

BEGIN_MESSAGE_MAP(CPanelWnd, CAppBarWnd)
  ON_WM_CREATE()
  ON_WM_CLOSE()
  ON_WM_PAINT()
  ON_WM_CONTEXTMENU()
  ON_COMMAND(IDC_SUSPEND, OnSuspend)
  ON_COMMAND(ID_SUSPEND_MENU, OnSuspend)
  ON_COMMAND(IDC_RESTARTWINDOWS, OnRestartWindows)
  ON_COMMAND(ID_RESTARTWINDOWS_MENU, OnRestartWindows)
  ON_COMMAND(IDC_SHUTDOWN, OnShutdown)
  ON_COMMAND(ID_SHUTDOWN_MENU, OnShutdown)
  ON_COMMAND(IDC_RESTARTSYSTEM, OnRestartSystem)
  ON_COMMAND(ID_RESTARTSYSTEM_MENU, OnRestartSystem)
  ON_COMMAND(IDC_MINIMIZEALL, OnMinimizeAll)
  ON_COMMAND(IDC_EXIT, OnExit)
  ON_NOTIFY_EX(TTN_NEEDTEXTA, OnToolTipNotify)
  ON_NOTIFY_EX(TTN_NEEDTEXTW, OnToolTipNotify)
  ON_COMMAND(ID_APP_EXIT_MENU, OnExit)
  ON_COMMAND_RANGE(ID_FREEUNIT_BYTES, ID_FREEUNIT_GBYTES, OnFreeSpaceUnit)
  ON_COMMAND_RANGE(ID_TOTALUNIT_BYTES, ID_TOTALUNIT_GBYTES, OnTotalCapUnit)
  ON_COMMAND_RANGE(ID_DECIMALS_0, ID_DECIMALS_4, OnDecimals)
  ON_COMMAND(ID_WINVERSION, OnWinVersion)
  ON_CBN_SELCHANGE(IDC_INTERVAL, OnIntervalChange)
  ON_CBN_SELCHANGE(IDC_DRIVE, OnDriveChange)
  ON_WM_ENDSESSION()
  ON_WM_QUERYENDSESSION()
  ON_COMMAND_RANGE(ID_MINIMIZE_SLOT_FIRST, ID_MINIMIZE_SLOT_LAST, OnMinimizeSlot)
  ON_COMMAND(ID_MINIMIZEALL_MENU, OnMinimizeAll)
  ON_COMMAND(ID_EDIT_EXCLUSIONS, OnEditExclusionList)
  ON_WM_TIMER()
  ON_MESSAGE(WM_DEVICECHANGE, OnDeviceChange)
  ON_COMMAND(ID_ABOUT, OnAbout)
  ON_COMMAND_RANGE(ID_MEMUNIT_BYTES, ID_MEMUNIT_KBYTES, OnMemoryUnit)
  ON_COMMAND_RANGE(ID_MEMUNIT_MBYTES, ID_MEMUNIT_MBYTES, OnMemoryUnit)
  ON_REGISTERED_MESSAGE(CPanelWnd::s_statisticsMessage, OnStatistics)
END_MESSAGE_MAP()

UINT CPanelWnd::s_statisticsMessage = RegisterWindowMessageA("VelkinStatistics");

LRESULT CPanelWnd::OnStatistics(WPARAM what, LPARAM) {
  switch (what) {
    case 0: return AfxTextSetCount();
    case 1: return m_nTicks;
    default: return 0;
  }
}

CPanelWnd* CPanelWnd::CreatePanel(velkin::SystemServices& sys, bool* endAsked) {
  CPanelWnd* panel = new CPanelWnd(sys);
  if (endAsked != nullptr) *endAsked = false;
  panel->m_pEndAsked = endAsked;
  const RECT rect = {0, 0, 150, 47};
  // A window that was begun and then destroyed has deleted its panel already.
  return panel->CreateBar(rect) ? panel : nullptr;
}

CPanelWnd::CPanelWnd(velkin::SystemServices& sys)
    : CAppBarWnd(sys), m_sys(sys), m_dlgExclusions(sys), m_readouts(sys) {}

CPanelWnd::~CPanelWnd() = default;

void CPanelWnd::PostNcDestroy() {
  CAppBarWnd::PostNcDestroy();
  delete this;
}

int CPanelWnd::OnCreate(LPCREATESTRUCTA create) {
  if (CAppBarWnd::OnCreate(create) == -1) return -1;
  m_state.BeginStartUp();

  CreateControls();

  LoadSettings();
  if (EndAskedDuringStartup()) return -1;
  LoadExclusionList();
  if (EndAskedDuringStartup()) return -1;
  m_dlgExclusions.SetWorkingList(m_strExclusions);

  FillIntervalSelector();
  RestoreIntervalSelection();
  if (EndAskedDuringStartup()) return -1;
  FillDriveSelector();
  RestoreDriveSelection();
  if (EndAskedDuringStartup()) return -1;

  // The two selectors keep their top-left corners and take their final sizes.
  m_driveSelector.SetWindowPos(nullptr, 0, 0, velkin::kDriveSelectorSize.cx, velkin::kDriveSelectorSize.cy,
                                 kResizeOnly);
  m_intervalSelector.SetWindowPos(nullptr, 0, 0, velkin::kIntervalSelectorSize.cx,
                                    velkin::kIntervalSelectorSize.cy, kResizeOnly);
  m_state.MarkLoaded();

  DetectVersion();
  if (m_readouts.LargeDisk()) ProbeExtendedFreeSpace();
  if (EndAskedDuringStartup()) return -1;
  m_readouts.ResolveQueries();

  // The first readouts, before the bar is first shown: no placeholder reaches the screen.
  MeasureDrives();
  UpdateFreeSpace();
  UpdateFreeMemory();
  UpdateTotalCapacity();
  UpdateSystemResources();
  StartRefreshTimer();

  EnableToolTips(TRUE);
  RegisterWithShell();
  SetEdge(velkin::kEdgeTop);
  m_state.FinishStartUp();
  return 0;
}

bool CPanelWnd::EndAskedDuringStartup() {
  // Creation fails then: the window is destroyed and, the panel being the program's window,
  // the program ends. Nothing has been written.
  if (!m_state.EndAskedDuringStartUp()) return false;
  if (m_pEndAsked != nullptr) *m_pEndAsked = true;
  return true;
}

void CPanelWnd::OnClose() {
  // Destroying the window now would pull it from under the start-up step that is waiting on
  // its message box: the start-up ends the program instead once that step returns.
  if (m_state.StartingUp()) {
    m_state.AskToEnd();
    return;
  }
  // Alt+F4, End task and taskkill end the bar as its exit command does; after that command
  // itself the files are written already.
  if (!m_bSavedForClose) SaveAndRelease(SaveFor::kExit);
  m_bSavedForClose = true;
  Default();
}

void CPanelWnd::CreateControls() {
  // The image buttons, then their icons.
  for (int i = 0; i < kButtonCount; ++i) {
    const PanelControl& place = PlaceOf(s_buttonIds[i]);
    m_buttons[i].Create("", place.style, velkin::ToRECT(place.rect), this, static_cast<UINT>(place.id));
  }
  for (int i = 0; i < kButtonCount; ++i) m_buttons[i].SetIcon(LoadPanelIcon(PlaceOf(s_buttonIds[i]).icon));

  // The statics, each with its first text in its string.
  for (int i = 0; i < kStaticCount; ++i) {
    const PanelControl& place = PlaceOf(s_boundTexts[i].id);
    m_statics[i].Create("", place.style, velkin::ToRECT(place.rect), this, static_cast<UINT>(place.id));
    this->*s_boundTexts[i].text = place.content;
  }

  CreatePanelFont();
  for (CStatic& control : m_statics) control.SetFont(m_font.GetSafeHandle(), TRUE);
  UpdateData(FALSE);

  // The interval selector, then the drive selector.
  const auto createSelector = [this](CComboBox& selector, int id) {
    const PanelControl& place = PlaceOf(id);
    selector.Create(place.style, velkin::ToRECT(place.rect), this, static_cast<UINT>(place.id));
    selector.SetFont(m_font.GetSafeHandle(), TRUE);
  };
  createSelector(m_intervalSelector, IDC_INTERVAL);
  createSelector(m_driveSelector, IDC_DRIVE);
}

void CPanelWnd::CreatePanelFont() {
  // The icon-title font, taken as it is. Where it has no Japanese letters, the system's font
  // linking draws them with a font that has.
  m_font.CreateIconTitleFont();
}

void CPanelWnd::DoDataExchange(CDataExchange* dx) {
  CAppBarWnd::DoDataExchange(dx);
  for (const BoundText& bound : s_boundTexts) DDX_Text(dx, bound.id, this->*bound.text);
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
  const HWND tool = velkin::TipToolWindow(header);
  const int id = tool != nullptr ? ::GetDlgCtrlID(tool) : 0;
  if (id == 0) return FALSE;
  velkin::AnswerTipText(header, velkin::TooltipText(id), AfxGetResourceHandle());
  return TRUE;
}

