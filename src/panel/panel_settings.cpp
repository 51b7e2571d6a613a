// The panel's two files: what start-up takes from them and says, the two restore steps of the
// stored selector positions, and the two save steps.
#include "panel/panel_wnd.h"
#include "system/system.h"
#include "readouts/intervals.h"
#include "settings/file_store.h"
#include "settings/settings_file.h"
#include "settings/startup.h"

namespace {

// A stored selection that no entry can take.
constexpr int32_t kNoSelection = -1;

}  // namespace

void CPanelWnd::ShowNotice(const velkin::Notice& notice) {
  if (notice.text != nullptr) m_sys.ShowMessage(m_hWnd, notice.text, notice.caption, notice.style);
}

void CPanelWnd::ApplySettings(const velkin::StoredSettings& settings) {
  velkin::ReadoutUnits& units = m_readouts.Units();
  m_nStoredDrive = settings.driveValid ? settings.drive : kNoSelection;
  units.freeSpaceUnit = settings.freeUnit;
  units.freeSpaceName = settings.freeUnitName;
  units.totalCapacityUnit = settings.totalUnit;
  units.totalCapacityName = settings.totalUnitName;
  units.decimals = settings.decimals;
  m_nStoredInterval = settings.intervalValid ? settings.interval : kNoSelection;
  units.memoryUnit = settings.memoryUnit;
}

velkin::StoredSettings CPanelWnd::CurrentSettings() {
  const velkin::ReadoutUnits& units = m_readouts.Units();
  velkin::StoredSettings settings;
  settings.drive = m_driveSelector.GetCurSel();
  settings.freeUnit = units.freeSpaceUnit;
  settings.freeUnitName = units.freeSpaceName;
  settings.totalUnit = units.totalCapacityUnit;
  settings.totalUnitName = units.totalCapacityName;
  settings.decimals = units.decimals;
  settings.interval = m_intervalSelector.GetCurSel();
  RECT rect{};
  GetWindowRect(&rect);
  settings.windowLeft = rect.left;
  settings.windowTop = rect.top;
  settings.memoryUnit = units.memoryUnit;
  return settings;
}

void CPanelWnd::LoadSettings() {
  // What a line without a number leaves in place: the readouts' units as they stand.
  const velkin::ReadoutUnits& units = m_readouts.Units();
  velkin::StoredSettings initial;
  initial.freeUnit = units.freeSpaceUnit;
  initial.totalUnit = units.totalCapacityUnit;
  initial.decimals = units.decimals;
  initial.memoryUnit = units.memoryUnit;
  const velkin::SettingsAtStart start = velkin::ReadSettingsAtStart(m_sys, initial);
  m_bKeepSettingsFile = start.keepFile;
  ShowNotice(start.notice);
  ApplySettings(start.settings);
}

void CPanelWnd::LoadExclusionList() {
  const velkin::ExclusionsAtStart start = velkin::ReadExclusionsAtStart(m_sys);
  m_bKeepExclusionFile = start.keepFile;
  ShowNotice(start.notice);
  m_strExclusions = start.list;
}

void CPanelWnd::RestoreIntervalSelection() {
  if (m_intervalSelector.SetCurSel(m_nStoredInterval) != CB_ERR) return;
  ShowNotice(velkin::IntervalWarning());
  m_intervalSelector.SetCurSel(velkin::kDefaultIntervalIndex);
}

void CPanelWnd::RestoreDriveSelection() {
  if (m_driveSelector.SetCurSel(m_nStoredDrive) != CB_ERR) return;
  // The first entry instead: the first fixed drive, or "All" where there is none.
  const int top = static_cast<int>(m_driveSelector.SendMessage(CB_GETTOPINDEX));
  CString drive;
  m_driveSelector.GetLBText(top, drive);
  m_readouts.SelectDrive(drive);
  m_driveSelector.SetCurSel(top);
  const std::string text = velkin::DriveWarningText(drive);
  ShowNotice(velkin::Warning(text.c_str()));
  m_nStoredDrive = top;
}

void CPanelWnd::SaveSettings() {
  // Before start-up has read both files and restored the selections there is nothing of the
  // user's to write; a file that could not be read is not written over.
  if (!m_bStateLoaded || m_bKeepSettingsFile) return;
  // A save that fails leaves the previous file as it was; the command goes on regardless.
  velkin::SaveSafely(m_sys, velkin::PathBesideProgram(m_sys, velkin::kSettingsFileName),
                     velkin::FormatSettings(CurrentSettings()));
}

void CPanelWnd::SaveExclusionList() {
  if (!m_bStateLoaded || m_bKeepExclusionFile) return;
  velkin::SaveSafely(m_sys, velkin::PathBesideProgram(m_sys, velkin::kExclusionFileName),
                     velkin::FormatExclusionList(m_strExclusions));
}
