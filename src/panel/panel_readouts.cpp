// The panel's readouts: the drive and interval selectors, the refresh timer, the four readouts
// and the unit and decimal-places commands.
#include "panel/panel_wnd.h"
#include "system/system.h"
#include "readouts/format.h"
#include "readouts/intervals.h"
#include "readouts/measure.h"
#include "readouts/readouts.h"
#include "res/resource.h"

void CPanelWnd::FillIntervalSelector() {
  for (const velkin::IntervalRow& row : velkin::kIntervals) m_intervalSelector.AddString(row.entry);
}

void CPanelWnd::FillDriveSelector() {
  m_state.SetDriveEntries(velkin::FixedDrives(m_sys));
  for (const std::string& entry : m_state.DriveEntries()) m_driveSelector.AddString(entry.c_str());
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
  const uint32_t period = m_state.Period();
  if (period != 0) m_sys.StartTimer(m_hWnd, velkin::kRefreshTimerId, period);
}

void CPanelWnd::OnTimer(UINT_PTR id) {
  if (id == velkin::kRefreshTimerId) {
    ++m_nTicks;
    // One query of each drive gives both drive readouts.
    MeasureDrives();
    UpdateFreeSpace();
    UpdateTotalCapacity();
    UpdateSystemResources();
    UpdateFreeMemory();
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
  m_state.ChooseInterval(m_intervalSelector.GetCurSel());
  // The new period counts from now, whatever remained of the old one.
  m_sys.StopTimer(m_hWnd, velkin::kRefreshTimerId);
  StartRefreshTimer();
}

void CPanelWnd::OnDriveChange() {
  // Shown from the next tick on.
  m_state.ChooseDrive(m_driveSelector.GetCurSel());
}

void CPanelWnd::MeasureDrives() { m_readouts.MeasureDrives(m_state.WatchedDrive()); }

void CPanelWnd::UpdateFreeSpace() {
  m_strFreeSpaceValue = m_readouts.FreeSpace(m_state.FreeSpaceUnit(), m_state.Decimals());
  UpdateData(FALSE);
}

void CPanelWnd::UpdateTotalCapacity() {
  m_strTotalCapValue = m_readouts.TotalCapacity(m_state.TotalCapacityUnit(), m_state.Decimals());
  UpdateData(FALSE);
}

void CPanelWnd::UpdateFreeMemory() {
  m_strMemoryValue = m_readouts.FreeMemory(m_state.MemoryUnit(), m_state.Decimals());
  UpdateData(FALSE);
}

void CPanelWnd::UpdateSystemResources() {
  m_strResourceValue = m_readouts.SystemResources();
  UpdateData(FALSE);
}

void CPanelWnd::OnFreeSpaceUnit(UINT id) {
  m_state.ChooseFreeSpaceUnit(static_cast<int32_t>(id - ID_FREEUNIT_BYTES));
  MeasureDrives();
  UpdateFreeSpace();
}

void CPanelWnd::OnTotalCapUnit(UINT id) {
  m_state.ChooseTotalCapacityUnit(static_cast<int32_t>(id - ID_TOTALUNIT_BYTES));
  MeasureDrives();
  UpdateTotalCapacity();
}

void CPanelWnd::OnMemoryUnit(UINT id) {
  // The menu offers Bytes, kBytes and MBytes; MBytes has the command after the total's units.
  m_state.ChooseMemoryUnit(id == ID_MEMUNIT_MBYTES ? velkin::kUnitMBytes : static_cast<int32_t>(id - ID_MEMUNIT_BYTES));
  UpdateFreeMemory();
}

void CPanelWnd::OnDecimals(UINT id) {
  // Shown from the next readout on.
  m_state.ChooseDecimals(static_cast<int32_t>(id - ID_DECIMALS_0));
}
