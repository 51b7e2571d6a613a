// The panel's two files: the settings read at start-up with their first-run defaults and the
// checks of the two stored selector positions, the exclusion list, and the two save steps.
#include <cstdio>

#include "panel/panel_wnd.h"
#include "platform/system.h"
#include "readouts/format.h"
#include "readouts/intervals.h"
#include "settings/file_store.h"
#include "settings/settings_file.h"

namespace {

constexpr char kWarningCaption[] = "警告";
// A file that is there but cannot be read (another program holds it, a read error): the bar
// says so, runs without it and leaves it as it is.
constexpr char kSettingsUnreadable[] =
    "保存されていた初期化情報を読み込めませんでした。\nとりあえず初期設定で動作します。\n初期化情報は書き換えません。";
constexpr char kExclusionsUnreadable[] =
    "保存されていた最小化しないアプリケーションの一覧を読み込めませんでした。\nとりあえず一覧を空にして動作します。\n一覧は書き換えません。";
// A stored selection that no entry can take.
constexpr int32_t kNoSelection = -1;

}  // namespace

void CPanelWnd::LoadSettings() {
  velkin::ReadoutUnits& units = m_readouts.Units();
  velkin::StoredSettings stored;
  stored.freeUnit = units.freeSpaceUnit;
  stored.totalUnit = units.totalCapacityUnit;
  stored.decimals = units.decimals;
  stored.memoryUnit = units.memoryUnit;
  std::string bytes;
  const velkin::FileRead read =
      velkin::LoadSaved(m_sys, velkin::PathBesideProgram(m_sys, velkin::kSettingsFileName), &bytes);
  if (read == velkin::FileRead::kFailed) {
    // Not a first start: the settings are there, only out of reach for now.
    m_bKeepSettingsFile = true;
    m_sys.ShowMessage(m_hWnd, kSettingsUnreadable, kWarningCaption, MB_ICONHAND | MB_OK);
    ApplyFirstRunDefaults();
    return;
  }
  if (read == velkin::FileRead::kMissing || !velkin::ParseSettings(bytes, &stored)) {
    // No file, or one that holds nothing: a first start, or the settings were lost.
    m_sys.ShowMessage(m_hWnd, "Velkinの初めての起動です。\nまたは初期化情報が失われています。", "Welcome to Velkin!",
                      MB_ICONINFORMATION | MB_OK);
    ApplyFirstRunDefaults();
    return;
  }
  m_nStoredDrive = stored.driveValid ? stored.drive : kNoSelection;
  units.freeSpaceUnit = stored.freeUnit;
  units.freeSpaceName = stored.freeUnitName;
  units.totalCapacityUnit = stored.totalUnit;
  units.totalCapacityName = stored.totalUnitName;
  units.decimals = stored.decimals;
  m_nStoredInterval = stored.intervalValid ? stored.interval : kNoSelection;
  units.memoryUnit = stored.memoryUnit;
}

void CPanelWnd::ApplyFirstRunDefaults() {
  velkin::ReadoutUnits& units = m_readouts.Units();
  m_nStoredDrive = 0;
  units.freeSpaceUnit = velkin::kUnitBytes;
  units.freeSpaceName = velkin::kUnitNames[velkin::kUnitBytes];
  units.totalCapacityUnit = velkin::kUnitBytes;
  units.totalCapacityName = velkin::kUnitNames[velkin::kUnitBytes];
  units.decimals = 2;
  m_nStoredInterval = velkin::kDefaultIntervalIndex;
}

void CPanelWnd::LoadExclusionList() {
  std::string bytes;
  m_strExclusions = velkin::ExclusionList();
  const velkin::FileRead read =
      velkin::LoadSaved(m_sys, velkin::PathBesideProgram(m_sys, velkin::kExclusionFileName), &bytes);
  if (read == velkin::FileRead::kFailed) {
    m_bKeepExclusionFile = true;
    m_sys.ShowMessage(m_hWnd, kExclusionsUnreadable, kWarningCaption, MB_ICONHAND | MB_OK);
    return;
  }
  if (read == velkin::FileRead::kMissing) return;
  m_strExclusions = velkin::ParseExclusionList(bytes);
}

void CPanelWnd::RestoreIntervalSelection() {
  if (m_intervalSelector.SetCurSel(m_nStoredInterval) != CB_ERR) return;
  m_sys.ShowMessage(m_hWnd, "保存されていた更新間隔情報が不正です。\nとりあえず「１秒」に設定しました。", kWarningCaption,
                    MB_ICONHAND | MB_OK);
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
  const std::string text = "保存されていた検査対象ドライブ情報が不正です。\nとりあえず" + drive + "に設定しました。";
  m_sys.ShowMessage(m_hWnd, text.c_str(), kWarningCaption, MB_ICONHAND | MB_OK);
  m_nStoredDrive = top;
}

void CPanelWnd::SaveSettings() {
  // Before start-up has read both files and restored the selections there is nothing of the
  // user's to write; a file that could not be read is not written over.
  if (!m_bStateLoaded || m_bKeepSettingsFile) return;
  RECT rect{};
  GetWindowRect(&rect);
  velkin::StoredSettings settings;
  settings.interval = m_intervalSelector.GetCurSel();
  settings.drive = m_driveSelector.GetCurSel();
  const velkin::ReadoutUnits& units = m_readouts.Units();
  settings.freeUnit = units.freeSpaceUnit;
  settings.freeUnitName = units.freeSpaceName;
  settings.totalUnit = units.totalCapacityUnit;
  settings.totalUnitName = units.totalCapacityName;
  settings.decimals = units.decimals;
  settings.windowLeft = rect.left;
  settings.windowTop = rect.top;
  settings.memoryUnit = units.memoryUnit;
  // A save that fails leaves the previous file as it was; the command goes on regardless.
  velkin::SaveSafely(m_sys, velkin::PathBesideProgram(m_sys, velkin::kSettingsFileName),
                     velkin::FormatSettings(settings));
}

void CPanelWnd::SaveExclusionList() {
  if (!m_bStateLoaded || m_bKeepExclusionFile) return;
  velkin::SaveSafely(m_sys, velkin::PathBesideProgram(m_sys, velkin::kExclusionFileName),
                     velkin::FormatExclusionList(m_strExclusions));
}
