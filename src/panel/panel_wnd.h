// The panel: the docked bar with its row of image buttons, the labels and readouts and the two
// selectors. It owns every child control object and every string shown on the bar.
#ifndef VELKIN_PANEL_PANEL_WND_H
#define VELKIN_PANEL_PANEL_WND_H

#include <cstdint>
#include <optional>
#include <string>

#include "appbar/appbar_wnd.h"
#include "info/about_dlg.h"
#include "info/version_dlg.h"
#include "panel/panel_state.h"
#include "framework/framework.h"
#include "readouts/readouts.h"
#include "session/session.h"
#include "settings/startup.h"
#include "windows/exclude_list_dlg.h"

class CPanelWnd : public CAppBarWnd {
 public:
  // Makes a panel on `sys` and its window as the program starts it: 47 pixels tall on the top
  // edge. The panel deletes itself once its window is gone (PostNcDestroy); so does one whose
  // creation failed, and nullptr is returned then, with *endAsked true when start-up stopped
  // because the program was asked to end (a close or the session's end during a start-up box).
  static CPanelWnd* CreatePanel(velkin::SystemServices& sys, bool* endAsked = nullptr);
  // The caption of the boxes that end a start-up.
  static constexpr char kStartErrorCaption[] = "プログラム開始エラー";

  // Everything the panel asks of the machine goes through `sys`. A panel whose window was
  // never made is deleted by whoever made it.
  explicit CPanelWnd(velkin::SystemServices& sys);
  ~CPanelWnd() override;

  BOOL PreTranslateMessage(MSG* msg) override;
  void DoDataExchange(CDataExchange* dx) override;

  // A message other programs may send the bar to learn how it is doing (for benchmarks):
  // wParam 0 answers how many control texts have been set, 1 how many refresh ticks ran.
  static UINT s_statisticsMessage;

 private:
  velkin::SystemServices& m_sys;

  static constexpr int kStaticCount = 10;
  static constexpr int kTitleSlotCount = 10;

  static constexpr int kButtonCount = 6;
  // The controls, created with the window and gone with the panel, each in the order of
  // s_buttonIds and s_boundTexts (suspend is the first button).
  static constexpr int kSuspendButton = 0;
  CButton m_buttons[kButtonCount];
  CStatic m_statics[kStaticCount];
  // Each static's ID with the string it shows, in creation order; the buttons' IDs.
  struct BoundText {
    int id;
    CString CPanelWnd::*text;
  };
  static const BoundText s_boundTexts[kStaticCount];
  static const int s_buttonIds[kButtonCount];

  // The texts of the ten statics.
  CString m_strFreeSpaceLabel;
  CString m_strTotalCapLabel;
  CString m_strFreeSpaceValue;
  CString m_strTotalCapValue;
  CString m_strResourceLabel;
  CString m_strMemoryLabel;
  CString m_strResourceValue;
  CString m_strMemoryValue;
  CString m_strIntervalCaption;
  CString m_strDriveCaption;

  CComboBox m_intervalSelector;
  CComboBox m_driveSelector;

  CFont m_font;

  // Slot k: the title offered as item k+1 of the minimize submenu, and the window that showed it.
  CString m_strWindowTitles[kTitleSlotCount];
  velkin::WindowHandle m_hListedWindows[kTitleSlotCount] = {};
  // Titles of the applications never to minimize.
  velkin::ExclusionList m_strExclusions;
  // Suspend is offered (Windows 98 and later).
  bool m_bSuspendAvailable = false;
  // The dialogs, one showing of each at a time.
  CWinVersionDlg m_dlgVersion;
  CAboutDlg m_dlgAbout;
  CExcludeListDlg m_dlgExclusions;

  // The watched drive, the interval, the units and decimals, how far start-up has come: what
  // the selectors show and the settings file keeps.
  velkin::PanelState m_state;
  // The measuring and formatting of the readouts, with the large-disk path.
  velkin::Readouts m_readouts;
  // The Windows NT family (the 16-bit services and the suspend flag differ there).
  bool m_bWindowsNT = false;

  // WM_ENDSESSION said the session ends: set during a restart or shutdown request, the bar
  // leaves its refresh stopped when the request returns.
  bool m_bSessionEnded = false;
  // The exit command has saved: the WM_CLOSE it posts does not save again.
  bool m_bSavedForClose = false;
  // What the session end under way has put in place of each file, nothing before it wrote
  // that file. A session end reaches the bar up to three times (the restart or shutdown
  // command, WM_QUERYENDSESSION, WM_ENDSESSION) and each saves; a file is written again only
  // when its content differs from this, so a change made since is never lost. Forgotten when
  // the end is called off: the next one writes both files again.
  std::optional<std::string> m_sessionSettings;
  std::optional<std::string> m_sessionExclusions;

  // The readouts, each in the unit the state holds: writes its string and shows the panel's
  // strings. The two drive readouts show the last MeasureDrives; memory and resources are
  // measured now.
  void UpdateFreeSpace();
  void UpdateTotalCapacity();
  void UpdateFreeMemory();
  void UpdateSystemResources();
  // Measures the watched drive for the two drive readouts.
  void MeasureDrives();

  // Loads the context menu and fills it for showing: the titles of the first ten other
  // application windows in the minimize submenu, the rest grayed, suspend grayed where it is
  // not offered. False when the menu could not be loaded.
  bool BuildContextMenu(CMenu& menu);

  // Frees the libraries of the optional functions; a later readout looks them up again.
  void ReleaseOptionalLibraries();

  // The two files beside the program.
  void LoadSettings();
  void LoadExclusionList();
  // Who saves: the exit command and WM_CLOSE write each file; a session end writes each once.
  enum class SaveFor { kExit, kSessionEnd };
  void SaveSettings(SaveFor saver);
  void SaveExclusionList(SaveFor saver);
  // Writes `bytes` as the file `name` beside the program. With `sessionCopy` (what the session
  // end under way put in place of that file), not when it holds these bytes already; it then
  // holds what this save put in place, or nothing when the save failed.
  void SaveFile(const char* name, const std::string& bytes, std::optional<std::string>* sessionCopy);
  // The session end under way was called off: the next one writes both files again.
  void ForgetSessionSaves();
  // What the exit command, WM_CLOSE and the end of the session do before anything else: stop
  // the refresh, write both files, release the optional libraries.
  void SaveAndRelease(SaveFor saver);
  // Starts the refresh again at the selected interval after a session command that did not end
  // the session; not while start-up is under way (start-up starts it).
  void ResumeRefresh();

 protected:
  int OnCreate(LPCREATESTRUCTA create);
  void OnClose();
  void OnPaint();
  void OnExit();
  BOOL OnToolTipNotify(UINT id, NMHDR* header, LRESULT* result);
  void OnTimer(UINT_PTR id);
  LRESULT OnDeviceChange(WPARAM event, LPARAM data);
  void OnIntervalChange();
  void OnDriveChange();
  void OnFreeSpaceUnit(UINT id);
  void OnTotalCapUnit(UINT id);
  void OnMemoryUnit(UINT id);
  void OnDecimals(UINT id);
  void OnWinVersion();
  void OnAbout();
  void OnContextMenu(HWND window, POINT point);
  void OnMinimizeSlot(UINT id);
  void OnMinimizeAll();
  void OnEditExclusionList();
  LRESULT OnStatistics(WPARAM what, LPARAM);
  void OnRestartWindows();
  void OnRestartSystem();
  void OnShutdown();
  void OnSuspend();
  BOOL OnQueryEndSession();
  void OnEndSession(BOOL ending);

  void PostNcDestroy() override;

  DECLARE_MESSAGE_MAP()

 private:
  void CreateControls();
  void CreatePanelFont();
  // Creation steps, in their order.
  void ShowNotice(const velkin::Notice& notice);
  void FillIntervalSelector();
  void RestoreIntervalSelection();
  void FillDriveSelector();
  void RestoreDriveSelection();
  void DetectVersion();
  void ProbeExtendedFreeSpace();
  void StartRefreshTimer();
  // Restart or shutdown: stop the refresh, save the settings for the session end, ask Windows;
  // refresh again when the call returns unless the session's end reached the bar during it. A
  // refused request calls that session end off.
  void EndSession(velkin::SessionCommand command);
  // True when the program was asked to end during start-up: start-up stops there.
  bool EndAskedDuringStartup();
  long m_nTicks = 0;
  bool* m_pEndAsked = nullptr;  // CreatePanel's answer
};

#endif
