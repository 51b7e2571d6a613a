// The system services interface: everything the program asks of the machine outside its own
// windows goes through here, so that tests can script the machine (a screen size, the shell's
// bars, later drives, memory and the Windows version) and can check what was requested without
// anything happening to the machine they run on.
#ifndef VELKIN_SYSTEM_SYSTEM_H
#define VELKIN_SYSTEM_SYSTEM_H

#include <cstdint>
#include <string>

#include "system/types.h"

namespace velkin {

class SystemServices {
 public:
  virtual ~SystemServices() = default;

  // Size of the primary screen in pixels (GetSystemMetrics SM_CXSCREEN, SM_CYSCREEN).
  virtual Size ScreenSize() = 0;

  // Sends an app-bar message to the shell (SHAppBarMessage). The shell may change data.rc.
  virtual uintptr_t AppBarMessage(uint32_t message, AppBarRecord& data) = 0;

  // Milliseconds since the system started (GetTickCount); wraps after 49.7 days.
  virtual uint32_t TickCount() = 0;
  // The drive letters that exist, bit 0 for A (GetLogicalDrives); 0 when that is not known.
  virtual uint32_t LogicalDrives() = 0;
  // The kind of drive at a root path such as "C:\" (GetDriveTypeA).
  virtual uint32_t DriveType(const char* root) = 0;
  // GetDiskFreeSpaceA: fills the outputs that are not null; false when the query failed.
  virtual bool DiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                             uint32_t* freeClusters, uint32_t* totalClusters) = 0;
  // GetDiskFreeSpaceExA, called through `function` as found by FindProc: fills the outputs that
  // are not null; false when the query failed.
  virtual bool DiskFreeSpaceEx(ProcAddress function, const char* directory, uint64_t* totalBytes,
                               uint64_t* totalFreeBytes) = 0;

  // The available physical memory in bytes as GlobalMemoryStatus reports it.
  virtual uint32_t AvailablePhysicalMemory() = 0;
  // The same from GlobalMemoryStatusEx, called through `function`; false when it failed.
  virtual bool AvailablePhysicalMemoryEx(ProcAddress function, uint64_t* bytes) = 0;
  // The free system resources in percent, from the resource library's function called through
  // `function` with the argument `which`.
  virtual int32_t FreeSystemResources(ProcAddress function, uint32_t which) = 0;

  // The Windows version (GetVersionExA).
  virtual WindowsVersion Version() = 0;

  // LoadLibraryA, GetProcAddress, FreeLibrary.
  virtual ModuleHandle LoadModule(const char* name) = 0;
  virtual ProcAddress FindProc(ModuleHandle module, const char* name) = 0;
  virtual void ReleaseModule(ModuleHandle module) = 0;

  // A modal message box (MessageBoxA, or MessageBoxW with the texts converted on NT); returns the
  // button pressed.
  virtual int ShowMessage(WindowHandle owner, const char* text, const char* caption, uint32_t style) = 0;

  // The full path of the program's executable (GetModuleFileNameA), however long.
  virtual std::string ModulePath() = 0;
  // The lead bytes of the system's ANSI code page (IsDBCSLeadByte).
  virtual LeadByteTest LeadBytes() = 0;

  // Files. ReadWholeFile tells a file that is not there from one that is there but cannot be
  // read (held open by another program, a read error). WriteWholeFile creates or empties the
  // file, writes every byte and flushes it to the disk; false when any of that failed.
  // RenameReplacing renames over an existing file in one step (MoveFileEx); Windows 9x cannot.
  // RenameFile fails when the target exists. FileReadOnly: the file exists and is read-only.
  virtual FileRead ReadWholeFile(const std::string& path, std::string* bytes) = 0;
  virtual bool WriteWholeFile(const std::string& path, const std::string& bytes) = 0;
  virtual Replace RenameReplacing(const std::string& from, const std::string& to) = 0;
  virtual bool RenameFile(const std::string& from, const std::string& to) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FileReadOnly(const std::string& path) = 0;

  // Top-level windows, for the window walk and the minimize commands. FirstWindow and
  // NextWindow go through them in stacking order from the top (GetWindow with GW_HWNDFIRST and
  // GW_HWNDNEXT); WindowTitle reads a title whole, in code page 932 (on NT read in UTF-16 and
  // converted, whatever the system's ANSI code page); WindowOwned is GetParent giving a window;
  // ShowMinimized is ShowWindow with SW_SHOWMINIMIZED, which activates the window.
  virtual WindowHandle FirstWindow(WindowHandle of) = 0;
  virtual WindowHandle NextWindow(WindowHandle after) = 0;
  virtual bool WindowVisible(WindowHandle window) = 0;
  virtual std::string WindowTitle(WindowHandle window) = 0;
  virtual bool WindowOwned(WindowHandle window) = 0;
  virtual void ShowMinimized(WindowHandle window) = 0;

  // Session and power. Each asks, and tells whether the request was taken: false when the
  // system refused it or could not be asked. On Windows NT the shutdown privilege is enabled
  // first.
  // ExitWindowsEx with its flags and reserved value.
  virtual bool RequestExitWindows(uint32_t flags, uint32_t reserved) = 0;
  // The 16-bit ExitWindows of Windows 9x with a return code (0x42: restart Windows alone);
  // false where those 16-bit services do not exist or the call answered 0.
  virtual bool RequestRestartWindows(uint32_t returnCode) = 0;
  // SetSystemPowerState.
  virtual bool RequestSuspend(bool suspend, bool force) = 0;

  // A window timer without a callback (SetTimer, KillTimer): ticks arrive as WM_TIMER.
  virtual void StartTimer(WindowHandle window, uintptr_t id, uint32_t period) = 0;
  virtual void StopTimer(WindowHandle window, uintptr_t id) = 0;
};

}  // namespace velkin

#endif
