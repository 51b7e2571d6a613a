// The panel's two files: the settings read at start-up with their first-run defaults and the
// checks of the two stored selector positions, the exclusion list, and the two save steps.
#include <cstdio>

#include "panel/panel_wnd.h"
#include "platform/system.h"
#include "readouts/format.h"
#include "readouts/intervals.h"
#include "settings/file_store.h"
#include "settings/settings_file.h"

using velkin::Sys;

namespace {

constexpr char kWarningCaption[] = "警告";
// A stored selection that no entry can take.
constexpr int32_t kNoSelection = -1;

}  // namespace

void CPanelWnd::LoadSettings() {
  velkin::StoredSettings stored;
  stored.freeUnit = m_nFreeSpaceUnit;
  stored.totalUnit = m_nTotalCapUnit;
  stored.decimals = m_nDecimals;
  stored.memoryUnit = m_nMemoryUnit;
  std::string bytes;
  if (!velkin::LoadSaved(Sys(), velkin::PathBesideProgram(Sys(), velkin::kSettingsFileName), &bytes) ||
      !velkin::ParseSettings(bytes, &stored)) {
    // No file, or one that holds nothing: a first start, or the settings were lost.
    Sys().ShowMessage(m_hWnd, "Velkinの初めての起動です。\nまたは初期化情報が失われています。", "Welcome to Velkin!",
                      MB_ICONINFORMATION | MB_OK);
    ApplyFirstRunDefaults();
    return;
  }
  m_nStoredDrive = stored.driveValid ? stored.drive : kNoSelection;
  m_nFreeSpaceUnit = stored.freeUnit;
  m_strFreeSpaceUnit = stored.freeUnitName;
  m_nTotalCapUnit = stored.totalUnit;
  m_strTotalCapUnit = stored.totalUnitName;
  m_nDecimals = stored.decimals;
  m_nStoredInterval = stored.intervalValid ? stored.interval : kNoSelection;
  m_nMemoryUnit = stored.memoryUnit;
}

void CPanelWnd::ApplyFirstRunDefaults() {
  m_nStoredDrive = 0;
  m_nFreeSpaceUnit = velkin::kUnitBytes;
  m_strFreeSpaceUnit = velkin::kUnitNames[velkin::kUnitBytes];
  m_nTotalCapUnit = velkin::kUnitBytes;
  m_strTotalCapUnit = velkin::kUnitNames[velkin::kUnitBytes];
  m_nDecimals = 2;
  m_nStoredInterval = velkin::kDefaultIntervalIndex;
}

void CPanelWnd::LoadExclusionList() {
  std::string bytes;
  m_nExclusions = 0;
  if (!velkin::LoadSaved(Sys(), velkin::PathBesideProgram(Sys(), velkin::kExclusionFileName), &bytes)) return;
  for (const std::string& title : velkin::ParseExclusionList(bytes)) m_strExclusions[m_nExclusions++] = title;
}

void CPanelWnd::RestoreIntervalSelection() {
  if (m_pIntervalSelector->SetCurSel(m_nStoredInterval) != CB_ERR) return;
  Sys().ShowMessage(m_hWnd, "保存されていた更新間隔情報が不正です。\nとりあえず「１秒」に設定しました。", kWarningCaption,
                    MB_ICONHAND | MB_OK);
  m_pIntervalSelector->SetCurSel(velkin::kDefaultIntervalIndex);
}

void CPanelWnd::RestoreDriveSelection() {
  if (m_pDriveSelector->SetCurSel(m_nStoredDrive) != CB_ERR) return;
  // The first entry instead: the first fixed drive, or "All" where there is none.
  const int top = static_cast<int>(m_pDriveSelector->SendMessage(CB_GETTOPINDEX));
  m_pDriveSelector->GetLBText(top, m_strSelectedDrive);
  m_pDriveSelector->SetCurSel(top);
  const std::string text = "保存されていた検査対象ドライブ情報が不正です。\nとりあえず" + m_strSelectedDrive + "に設定しました。";
  Sys().ShowMessage(m_hWnd, text.c_str(), kWarningCaption, MB_ICONHAND | MB_OK);
  m_nStoredDrive = top;
}

void CPanelWnd::SaveSettings() {
  RECT rect{};
  GetWindowRect(&rect);
  velkin::StoredSettings settings;
  settings.interval = m_pIntervalSelector->GetCurSel();
  settings.drive = m_pDriveSelector->GetCurSel();
  settings.freeUnit = m_nFreeSpaceUnit;
  settings.freeUnitName = m_strFreeSpaceUnit;
  settings.totalUnit = m_nTotalCapUnit;
  settings.totalUnitName = m_strTotalCapUnit;
  settings.decimals = m_nDecimals;
  settings.windowLeft = rect.left;
  settings.windowTop = rect.top;
  settings.memoryUnit = m_nMemoryUnit;
  // A save that fails leaves the previous file as it was; the command goes on regardless.
  velkin::SaveSafely(Sys(), velkin::PathBesideProgram(Sys(), velkin::kSettingsFileName),
                     velkin::FormatSettings(settings));
}

void CPanelWnd::SaveExclusionList() {
  velkin::SaveSafely(Sys(), velkin::PathBesideProgram(Sys(), velkin::kExclusionFileName),
                     velkin::FormatExclusionList(m_strExclusions, m_nExclusions));
}
