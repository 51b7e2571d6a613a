// The panel's settings at start-up: the first-run defaults and the restoring of the two
// selectors' stored positions.
#include <cstdio>

#include "panel/panel_wnd.h"
#include "platform/system.h"
#include "readouts/format.h"
#include "readouts/intervals.h"

namespace {

constexpr char kWarningCaption[] = "警告";

}  // namespace

void CPanelWnd::ApplyFirstRunDefaults() {
  m_nStoredDrive = 0;
  m_nFreeSpaceUnit = velkin::kUnitBytes;
  m_strFreeSpaceUnit = velkin::kUnitNames[velkin::kUnitBytes];
  m_nTotalCapUnit = velkin::kUnitBytes;
  m_strTotalCapUnit = velkin::kUnitNames[velkin::kUnitBytes];
  m_nDecimals = 2;
  m_nStoredInterval = velkin::kDefaultIntervalIndex;
}

void CPanelWnd::RestoreIntervalSelection() {
  if (m_pIntervalSelector->SetCurSel(m_nStoredInterval) != CB_ERR) return;
  velkin::Sys().ShowMessage(m_hWnd, "保存されていた更新間隔情報が不正です。\nとりあえず「１秒」に設定しました。",
                            kWarningCaption, MB_ICONHAND | MB_OK);
  m_pIntervalSelector->SetCurSel(velkin::kDefaultIntervalIndex);
}

void CPanelWnd::RestoreDriveSelection() {
  if (m_pDriveSelector->SetCurSel(m_nStoredDrive) != CB_ERR) return;
  // The first entry instead: the first fixed drive, or "All" where there is none.
  const int top = static_cast<int>(m_pDriveSelector->SendMessage(CB_GETTOPINDEX));
  m_pDriveSelector->GetLBText(top, m_strSelectedDrive);
  m_pDriveSelector->SetCurSel(top);
  char text[256];
  std::snprintf(text, sizeof text, "保存されていた検査対象ドライブ情報が不正です。\nとりあえず%sに設定しました。",
                m_strSelectedDrive.c_str());
  velkin::Sys().ShowMessage(m_hWnd, text, kWarningCaption, MB_ICONHAND | MB_OK);
  m_nStoredDrive = top;
}
