// The system services as Windows provides them.
#ifndef VELKIN_SYSTEM_WIN32_SYSTEM_H
#define VELKIN_SYSTEM_WIN32_SYSTEM_H

#include "system/system.h"

namespace velkin {

class Win32System : public SystemServices {
 public:
  Size ScreenSize() override;
  uintptr_t AppBarMessage(uint32_t message, AppBarRecord& data) override;
  uint32_t TickCount() override;
  uint32_t LogicalDrives() override;
  uint32_t DriveType(const char* root) override;
  bool DiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                     uint32_t* freeClusters, uint32_t* totalClusters) override;
  bool DiskFreeSpaceEx(ProcAddress function, const char* directory, uint64_t* totalBytes,
                       uint64_t* totalFreeBytes) override;
  uint32_t AvailablePhysicalMemory() override;
  bool AvailablePhysicalMemoryEx(ProcAddress function, uint64_t* bytes) override;
  int32_t FreeSystemResources(ProcAddress function, uint32_t which) override;
  WindowsVersion Version() override;
  ModuleHandle LoadModule(const char* name) override;
  ProcAddress FindProc(ModuleHandle module, const char* name) override;
  void ReleaseModule(ModuleHandle module) override;
  int ShowMessage(WindowHandle owner, const char* text, const char* caption, uint32_t style) override;
  void StartTimer(WindowHandle window, uintptr_t id, uint32_t period) override;
  void StopTimer(WindowHandle window, uintptr_t id) override;
  WindowHandle FirstWindow(WindowHandle of) override;
  WindowHandle NextWindow(WindowHandle after) override;
  bool WindowVisible(WindowHandle window) override;
  std::string WindowTitle(WindowHandle window) override;
  bool WindowOwned(WindowHandle window) override;
  void ShowMinimized(WindowHandle window) override;
  bool RequestExitWindows(uint32_t flags, uint32_t reserved) override;
  bool RequestRestartWindows(uint32_t returnCode) override;
  bool RequestSuspend(bool suspend, bool force) override;
  std::string ModulePath() override;
  LeadByteTest LeadBytes() override;
  FileRead ReadWholeFile(const std::string& path, std::string* bytes) override;
  bool WriteWholeFile(const std::string& path, const std::string& bytes) override;
  Replace RenameReplacing(const std::string& from, const std::string& to) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  bool FileReadOnly(const std::string& path) override;
};

}  // namespace velkin

#endif
