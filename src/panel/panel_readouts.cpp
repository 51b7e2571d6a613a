// The panel's readouts: the drive and interval selectors, the refresh timer, the four readouts
// and the unit and decimal-places commands.
#include "panel/panel_wnd.h"
#include "system/system.h"
#include "readouts/format.h"
#include "readouts/intervals.h"
#include "readouts/measure.h"
#include "readouts/readouts.h"
#include "res/resource.h"

namespace {

constexpr char kStartErrorCaption[] = "プログラム開始エラー";

}  // namespace

void CPanelWnd::FillIntervalSelector() {
  for (const velkin::IntervalRow& row : velkin::kIntervals) m_intervalSelector.AddString(row.entry);
}

void CPanelWnd::FillDriveSelector() {
  for (const std::string& root : velkin::FixedDrives(m_sys)) m_driveSelector.AddString(root.c_str());
  m_driveSelector.AddString(velkin::kAllDrives);
}

void CPanelWnd::ProbeExtendedFreeSpace() {
  // Without the 64-bit query the program cannot measure large disks: it says so and closes.
  // Until the close arrives, the readouts measure with the cluster query.
  switch (m_readouts.ProbeExtendedFreeSpace()) {
    case velkin::OptionalFunction::Lookup::kFound:
      return;
    case velkin::OptionalFunction::Lookup::kNoLibrary:
      m_sys.ShowMessage(m_hWnd, "KERNEL32.DLLをロードできません。", kStartErrorCaption, MB_ICONHAND | MB_OK);
      break;
    case velkin::OptionalFunction::Lookup::kNoFunction:
      m_sys.ShowMessage(m_hWnd, "メソッドのアドレスを取得できません。", kStartErrorCaption, MB_ICONHAND | MB_OK);
      break;
  }
  PostMessage(WM_CLOSE);
}

void CPanelWnd::ReleaseOptionalLibraries() {
  m_readouts.ReleaseLibraries();
}

void CPanelWnd::StartRefreshTimer() {
  const uint32_t period = velkin::IntervalPeriod(m_intervalSelector.GetCurSel());
  if (period != 0) m_sys.StartTimer(m_hWnd, velkin::kRefreshTimerId, period);
}

void CPanelWnd::OnTimer(UINT_PTR id) {
  if (id == velkin::kRefreshTimerId) {
    ++m_nTicks;
    const velkin::ReadoutUnits& units = m_readouts.Units();
    // One query of each drive gives both drive readouts.
    m_readouts.MeasureDrives();
    UpdateFreeSpace(units.freeSpaceUnit, units.freeSpaceName);
    UpdateTotalCapacity(units.totalCapacityUnit, units.totalCapacityName);
    UpdateSystemResources();
    UpdateFreeMemory(units.memoryUnit, units.memoryName);
  }
  Default();
}

LRESULT CPanelWnd::OnDeviceChange(WPARAM, LPARAM) {
  // A drive may have come or gone: "All" lists the drives anew at the next refresh instead of
  // using its recent list. The answer to the system stays the default one.
  m_readouts.ForgetDrives();
  return Default();
}

void CPanelWnd::OnIntervalChange() {
  // The new period counts from now, whatever remained of the old one.
  m_sys.StopTimer(m_hWnd, velkin::kRefreshTimerId);
  StartRefreshTimer();
}

void CPanelWnd::OnDriveChange() {
  // Shown from the next tick on.
  CString drive;
  m_driveSelector.GetLBText(m_driveSelector.GetCurSel(), drive);
  m_readouts.SelectDrive(drive);
}

void CPanelWnd::UpdateFreeSpace(int32_t unit, CString unitName) {
  m_strFreeSpaceValue = m_readouts.FreeSpace(unit, unitName);
  UpdateData(FALSE);
}

void CPanelWnd::UpdateTotalCapacity(int32_t unit, CString unitName) {
  m_strTotalCapValue = m_readouts.TotalCapacity(unit, unitName);
  UpdateData(FALSE);
}

void CPanelWnd::UpdateFreeMemory(int32_t unit, CString unitName) {
  m_strMemoryValue = m_readouts.FreeMemory(unit, unitName);
  UpdateData(FALSE);
}

void CPanelWnd::UpdateSystemResources() {
  m_strResourceValue = m_readouts.SystemResources();
  UpdateData(FALSE);
}

void CPanelWnd::OnFreeSpaceUnit(UINT id) {
  const int32_t unit = static_cast<int32_t>(id - ID_FREEUNIT_BYTES);
  m_readouts.MeasureDrives();
  UpdateFreeSpace(unit, velkin::kUnitNames[unit]);
}

void CPanelWnd::OnTotalCapUnit(UINT id) {
  const int32_t unit = static_cast<int32_t>(id - ID_TOTALUNIT_BYTES);
  m_readouts.MeasureDrives();
  UpdateTotalCapacity(unit, velkin::kUnitNames[unit]);
}

void CPanelWnd::OnMemoryUnit(UINT id) {
  // The menu offers Bytes, kBytes and MBytes; MBytes has the command after the total's units.
  const int32_t unit = id == ID_MEMUNIT_MBYTES ? velkin::kUnitMBytes : static_cast<int32_t>(id - ID_MEMUNIT_BYTES);
  UpdateFreeMemory(unit, velkin::kUnitNames[unit]);
}

void CPanelWnd::OnDecimals(UINT id) {
  // Shown from the next readout on.
  m_readouts.Units().decimals = static_cast<int32_t>(id - ID_DECIMALS_0);
}
