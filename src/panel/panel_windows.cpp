// The panel's window commands: the context menu, minimizing other windows and the exclusion
// list.
#include "panel/panel_wnd.h"
#include "system/system.h"
#include "res/resource.h"
#include "windows/window_walk.h"

bool CPanelWnd::BuildContextMenu(CMenu& menu) {
  if (!menu.LoadMenu(IDR_CONTEXTMENU)) return false;
  const std::vector<velkin::Candidate> listed = velkin::Candidates(m_sys, m_hWnd, &m_strExclusions, kTitleSlotCount);
  for (int slot = 0; slot < kTitleSlotCount; ++slot) {
    const UINT id = static_cast<UINT>(ID_MINIMIZE_SLOT_FIRST + slot);
    if (static_cast<size_t>(slot) < listed.size()) {
      // The title as it is: an ampersand marks a mnemonic, as in any menu text.
      m_strWindowTitles[slot] = listed[static_cast<size_t>(slot)].title;
      m_hListedWindows[slot] = listed[static_cast<size_t>(slot)].window;
      menu.ModifyMenu(id, MF_BYCOMMAND | MF_STRING, id, m_strWindowTitles[slot].c_str());
      menu.EnableMenuItem(id, MF_BYCOMMAND | MF_ENABLED);
    } else {
      menu.ModifyMenu(id, MF_BYCOMMAND | MF_STRING, id, "選択できません");
      menu.EnableMenuItem(id, MF_BYCOMMAND | MF_GRAYED);
    }
  }
  if (!m_bSuspendAvailable) menu.EnableMenuItem(ID_SUSPEND_MENU, MF_BYCOMMAND | MF_GRAYED);
  return true;
}

void CPanelWnd::OnContextMenu(HWND /*window*/, POINT point) {
  CMenu menu;
  if (!BuildContextMenu(menu)) return;
  TrackPopupMenu(menu.GetSubMenu(0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, m_hWnd, nullptr);
}

void CPanelWnd::OnMinimizeSlot(UINT id) {
  const UINT slot = id - ID_MINIMIZE_SLOT_FIRST;
  velkin::MinimizeListed(m_sys, m_hWnd, velkin::Candidate{m_hListedWindows[slot], m_strWindowTitles[slot]});
}

void CPanelWnd::OnMinimizeAll() {
  velkin::MinimizeAllWindows(m_sys, m_hWnd, m_strExclusions);
}

void CPanelWnd::OnEditExclusionList() {
  m_dlgExclusions.DoModal(this);
  m_strExclusions = m_dlgExclusions.WorkingList();
}
