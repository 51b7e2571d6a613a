#include "platform/win32_system.h"

#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <cstring>

namespace velkin {

// The portable record must be the shell's record, byte for byte.
static_assert(sizeof(AppBarRecord) == sizeof(APPBARDATA), "AppBarRecord size");
static_assert(offsetof(AppBarRecord, hWnd) == offsetof(APPBARDATA, hWnd), "hWnd offset");
static_assert(offsetof(AppBarRecord, uCallbackMessage) == offsetof(APPBARDATA, uCallbackMessage),
              "uCallbackMessage offset");
static_assert(offsetof(AppBarRecord, uEdge) == offsetof(APPBARDATA, uEdge), "uEdge offset");
static_assert(offsetof(AppBarRecord, rc) == offsetof(APPBARDATA, rc), "rc offset");
static_assert(offsetof(AppBarRecord, lParam) == offsetof(APPBARDATA, lParam), "lParam offset");
static_assert(sizeof(Rect) == sizeof(RECT), "Rect size");
static_assert(sizeof(void*) != 4 || sizeof(APPBARDATA) == 36, "the 32-bit record is 36 bytes");

Size Win32System::ScreenSize() {
  return Size{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

uintptr_t Win32System::AppBarMessage(uint32_t message, AppBarRecord& data) {
  APPBARDATA abd;
  std::memcpy(&abd, static_cast<const void*>(&data), sizeof abd);
  const UINT_PTR result = SHAppBarMessage(message, &abd);
  std::memcpy(static_cast<void*>(&data), &abd, sizeof abd);
  return result;
}

}  // namespace velkin

namespace velkin {

namespace {

// The functions reached through an address found at run time.
using GetDiskFreeSpaceExAFn = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
using GetFreeSystemResourcesFn = LONG(WINAPI*)(DWORD);

// MEMORYSTATUSEX as GlobalMemoryStatusEx fills it; declared here because the headers offer it
// only to programs that require Windows 2000.
struct MemoryStatusEx {
  DWORD dwLength;
  DWORD dwMemoryLoad;
  DWORDLONG ullTotalPhys;
  DWORDLONG ullAvailPhys;
  DWORDLONG ullTotalPageFile;
  DWORDLONG ullAvailPageFile;
  DWORDLONG ullTotalVirtual;
  DWORDLONG ullAvailVirtual;
  DWORDLONG ullAvailExtendedVirtual;
};
static_assert(sizeof(MemoryStatusEx) == 64, "MEMORYSTATUSEX is 64 bytes");
using GlobalMemoryStatusExFn = BOOL(WINAPI*)(MemoryStatusEx*);

template <typename Fn>
Fn As(ProcAddress address) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(address));
}

}  // namespace

uint32_t Win32System::DriveType(const char* root) { return GetDriveTypeA(root); }

bool Win32System::DiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                                uint32_t* freeClusters, uint32_t* totalClusters) {
  DWORD spc = 0, bps = 0, free = 0, total = 0;
  if (!GetDiskFreeSpaceA(root, &spc, &bps, &free, &total)) return false;
  if (sectorsPerCluster != nullptr) *sectorsPerCluster = spc;
  if (bytesPerSector != nullptr) *bytesPerSector = bps;
  if (freeClusters != nullptr) *freeClusters = free;
  if (totalClusters != nullptr) *totalClusters = total;
  return true;
}

bool Win32System::DiskFreeSpaceEx(ProcAddress function, const char* directory, uint64_t* totalBytes,
                                  uint64_t* totalFreeBytes) {
  ULARGE_INTEGER total{}, free{};
  if (!As<GetDiskFreeSpaceExAFn>(function)(directory, nullptr, totalBytes != nullptr ? &total : nullptr,
                                           totalFreeBytes != nullptr ? &free : nullptr)) {
    return false;
  }
  if (totalBytes != nullptr) *totalBytes = total.QuadPart;
  if (totalFreeBytes != nullptr) *totalFreeBytes = free.QuadPart;
  return true;
}

uint32_t Win32System::AvailablePhysicalMemory() {
  MEMORYSTATUS status{};
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  return static_cast<uint32_t>(status.dwAvailPhys);
}

bool Win32System::AvailablePhysicalMemoryEx(ProcAddress function, uint64_t* bytes) {
  MemoryStatusEx status{};
  status.dwLength = sizeof status;
  if (!As<GlobalMemoryStatusExFn>(function)(&status)) return false;
  *bytes = status.ullAvailPhys;
  return true;
}

int32_t Win32System::FreeSystemResources(ProcAddress function, uint32_t which) {
  return As<GetFreeSystemResourcesFn>(function)(which);
}

WindowsVersion Win32System::Version() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;  // 148
  GetVersionExA(&info);
  return WindowsVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber, info.dwPlatformId};
}

ModuleHandle Win32System::LoadModule(const char* name) { return LoadLibraryA(name); }

ProcAddress Win32System::FindProc(ModuleHandle module, const char* name) {
  return reinterpret_cast<ProcAddress>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void Win32System::ReleaseModule(ModuleHandle module) { FreeLibrary(static_cast<HMODULE>(module)); }

int Win32System::ShowMessage(WindowHandle owner, const char* text, const char* caption, uint32_t style) {
  return MessageBoxA(static_cast<HWND>(owner), text, caption, style);
}

void Win32System::StartTimer(WindowHandle window, uintptr_t id, uint32_t period) {
  SetTimer(static_cast<HWND>(window), id, period, nullptr);
}

void Win32System::StopTimer(WindowHandle window, uintptr_t id) { KillTimer(static_cast<HWND>(window), id); }

}  // namespace velkin
