// The panel's two files: what start-up takes from them and says, the two restore steps of the
// stored selector positions, and the two save steps.
#include "panel/panel_wnd.h"
#include "system/system.h"
#include "readouts/intervals.h"
#include "settings/file_store.h"
#include "settings/settings_file.h"
#include "settings/startup.h"

void CPanelWnd::ShowNotice(const velkin::Notice& notice) {
  if (notice.text != nullptr) m_sys.ShowMessage(m_hWnd, notice.text, notice.caption, notice.style);
}

void CPanelWnd::LoadSettings() {
  const velkin::SettingsAtStart start = velkin::ReadSettingsAtStart(m_sys, m_state.Initial());
  m_state.KeepSettingsFile(start.keepFile);
  ShowNotice(start.notice);
  m_state.Load(start.settings);
}

void CPanelWnd::LoadExclusionList() {
  const velkin::ExclusionsAtStart start = velkin::ReadExclusionsAtStart(m_sys);
  m_state.KeepExclusionFile(start.keepFile);
  ShowNotice(start.notice);
  m_strExclusions = start.list;
}

void CPanelWnd::RestoreIntervalSelection() {
  if (!m_state.RestoreInterval()) ShowNotice(velkin::IntervalWarning());
  m_intervalSelector.SetCurSel(m_state.Interval());
}

void CPanelWnd::RestoreDriveSelection() {
  const bool stored = m_state.RestoreDrive();
  m_driveSelector.SetCurSel(m_state.Drive());
  if (!stored) ShowNotice(velkin::Warning(velkin::DriveWarningText(m_state.WatchedDrive()).c_str()));
}

void CPanelWnd::SaveSettings(SaveFor saver) {
  // Before start-up has read both files and restored the selections there is nothing of the
  // user's to write; a file that could not be read is not written over.
  if (!m_state.MaySaveSettings()) return;
  RECT rect{};
  GetWindowRect(&rect);
  SaveFile(velkin::kSettingsFileName, velkin::FormatSettings(m_state.Stored(rect.left, rect.top)),
           saver == SaveFor::kSessionEnd ? &m_sessionSettings : nullptr);
}

void CPanelWnd::SaveExclusionList(SaveFor saver) {
  if (!m_state.MaySaveExclusions()) return;
  SaveFile(velkin::kExclusionFileName, velkin::FormatExclusionList(m_strExclusions),
           saver == SaveFor::kSessionEnd ? &m_sessionExclusions : nullptr);
}

void CPanelWnd::SaveFile(const char* name, const std::string& bytes, std::optional<std::string>* sessionCopy) {
  if (sessionCopy != nullptr && *sessionCopy == bytes) return;
  // A save that fails leaves the previous file as it was; the command goes on regardless. The
  // next save of this session end then writes again, whatever it holds.
  const bool saved = velkin::SaveSafely(m_sys, velkin::PathBesideProgram(m_sys, name), bytes);
  if (sessionCopy == nullptr) return;
  if (saved) {
    *sessionCopy = bytes;
  } else {
    sessionCopy->reset();
  }
}

void CPanelWnd::ForgetSessionSaves() {
  m_sessionSettings.reset();
  m_sessionExclusions.reset();
}
