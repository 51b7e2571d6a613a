#include "system/win32_system.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "framework/text_edge.h"
#include "system/pe_exports.h"

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
// The message box styles the portable code names.
static_assert(kBoxOk == MB_OK && kBoxIconStop == MB_ICONHAND && kBoxIconInformation == MB_ICONINFORMATION,
              "message box styles");

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

bool IsWindowsNT() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// A KERNEL32 function that not every Windows the program runs on exports, found at run time:
// an image importing it would not load where it is missing.
ProcAddress KernelFunction(const char* name) {
  return reinterpret_cast<ProcAddress>(GetProcAddress(GetModuleHandleA("KERNEL32"), name));
}

bool SystemLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

// A kernel object's handle (a file, a token), closed on every path out. Neither null nor
// INVALID_HANDLE_VALUE is a handle.
class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle = nullptr) : handle_(handle) {}
  ~OwnedHandle() {
    if (valid()) CloseHandle(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  // Where a function that opens one puts it.
  HANDLE* out() { return &handle_; }
  // Closes now and tells whether the close succeeded (it may report a late write error).
  bool Close() {
    const bool closed = valid() && CloseHandle(handle_) != FALSE;
    handle_ = nullptr;
    return closed;
  }

 private:
  HANDLE handle_;
};

// A library loaded for the length of one request, freed on every path out.
class LoadedLibrary {
 public:
  explicit LoadedLibrary(const char* name) : module_(LoadLibraryA(name)) {}
  ~LoadedLibrary() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;
  bool loaded() const { return module_ != nullptr; }
  template <typename Fn>
  Fn Find(const char* name) const {
    return As<Fn>(reinterpret_cast<ProcAddress>(GetProcAddress(module_, name)));
  }

 private:
  HMODULE module_;
};

// Windows NT refuses to end the session or suspend unless the process holds the shutdown
// privilege, which is present but not enabled. ADVAPI32's security functions are looked up
// here: Windows 95 has only stubs of them.
void EnableShutdownPrivilege() {
  if (!IsWindowsNT()) return;
  const LoadedLibrary advapi("ADVAPI32.DLL");
  if (!advapi.loaded()) return;
  using OpenProcessTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
  using LookupPrivilegeValueAFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, PLUID);
  using AdjustTokenPrivilegesFn = BOOL(WINAPI*)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD);
  const auto openToken = advapi.Find<OpenProcessTokenFn>("OpenProcessToken");
  const auto lookup = advapi.Find<LookupPrivilegeValueAFn>("LookupPrivilegeValueA");
  const auto adjust = advapi.Find<AdjustTokenPrivilegesFn>("AdjustTokenPrivileges");
  if (openToken == nullptr || lookup == nullptr || adjust == nullptr) return;
  OwnedHandle token;
  if (!openToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.out())) return;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (lookup(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
    adjust(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
  }
}

#if defined(__i386__)
using FreeLibrary16Fn = void(WINAPI*)(WORD);

// A 16-bit module loaded through KERNEL32's 16-bit services, freed with them on every path out.
class Module16 {
 public:
  Module16(WORD module, FreeLibrary16Fn freeLibrary16) : module_(module), free_(freeLibrary16) {}
  ~Module16() { free_(module_); }
  Module16(const Module16&) = delete;
  Module16& operator=(const Module16&) = delete;
  WORD get() const { return module_; }

 private:
  WORD module_;
  FreeLibrary16Fn free_;
};
#endif

#if defined(__i386__)
// Calls the 16-bit function at the far address `target` through QT_Thunk with the arguments of
// a 16-bit caller: the 32-bit return code, then a 16-bit reserved word of 0. QT_Thunk builds the
// 16-bit frame in the 0x3C bytes below the caller's frame pointer, so the routine is written out
// here: 64 bytes of nothing right below its frame pointer, the registers it must keep below
// those, and the stack rebuilt from the frame pointer afterwards.
// Returns what the 16-bit function left in AX and DX.
extern "C" DWORD __stdcall velkin_CallThunk16(DWORD target, FARPROC qtThunk, DWORD returnCode);
__asm__(
    ".text\n"
    ".globl _velkin_CallThunk16@12\n"
    "_velkin_CallThunk16@12:\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  subl $0x4C, %esp\n"
    "  movl %ebx, -0x44(%ebp)\n"
    "  movl %esi, -0x48(%ebp)\n"
    "  movl %edi, -0x4C(%ebp)\n"
    "  pushl 16(%ebp)\n"
    "  pushw $0\n"
    "  movl 8(%ebp), %edx\n"
    "  call *12(%ebp)\n"
    "  movl -0x44(%ebp), %ebx\n"
    "  movl -0x48(%ebp), %esi\n"
    "  movl -0x4C(%ebp), %edi\n"
    "  movl %ebp, %esp\n"
    "  popl %ebp\n"
    "  ret $12\n");
#endif

}  // namespace

// The screen and the shell.

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

// Drives, memory, resources, the version and libraries.

uint32_t Win32System::TickCount() { return GetTickCount(); }

uint32_t Win32System::LogicalDrives() { return GetLogicalDrives(); }

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
  return MessageBox932(static_cast<HWND>(owner), text, caption, style);
}

void Win32System::StartTimer(WindowHandle window, uintptr_t id, uint32_t period) {
  SetTimer(static_cast<HWND>(window), id, period, nullptr);
}

void Win32System::StopTimer(WindowHandle window, uintptr_t id) { KillTimer(static_cast<HWND>(window), id); }

// Files.

std::string Win32System::ModulePath() {
  // Paths may be longer than MAX_PATH where the system allows: grow until the whole path fits.
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size() - 1) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

LeadByteTest Win32System::LeadBytes() { return &SystemLeadByte; }

FileRead Win32System::ReadWholeFile(const std::string& path, std::string* bytes) {
  OwnedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::kMissing : FileRead::kFailed;
  }
  bytes->clear();
  char chunk[4096];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr)) return FileRead::kFailed;
    if (read == 0) return FileRead::kRead;
    bytes->append(chunk, read);
  }
}

bool Win32System::WriteWholeFile(const std::string& path, const std::string& bytes) {
  OwnedHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
  if (!file.valid()) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    if (!WriteFile(file.get(), bytes.data() + done, want, &written, nullptr) || written == 0) return false;
    done += written;
  }
  if (!FlushFileBuffers(file.get())) return false;
  return file.Close();
}

Replace Win32System::RenameReplacing(const std::string& from, const std::string& to) {
  // Windows 9x has only a stub of MoveFileExA, whose answer is not to be relied on: it is never
  // called there. On NT it is looked up like the rest, and a failure is a failure.
  if (!IsWindowsNT()) return Replace::kUnsupported;
  using MoveFileExAFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD);
  static const MoveFileExAFn moveFileEx = As<MoveFileExAFn>(KernelFunction("MoveFileExA"));
  if (moveFileEx == nullptr) return Replace::kUnsupported;
  if (moveFileEx(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return Replace::kReplaced;
  return Replace::kFailed;
}

bool Win32System::RenameFile(const std::string& from, const std::string& to) {
  return MoveFileA(from.c_str(), to.c_str()) != FALSE;
}

bool Win32System::RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

bool Win32System::FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32System::FileReadOnly(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// Session and power.

bool Win32System::RequestExitWindows(uint32_t flags, uint32_t reserved) {
  EnableShutdownPrivilege();
  return ExitWindowsEx(flags, reserved) != FALSE;
}

bool Win32System::RequestSuspend(bool suspend, bool force) {
  // Windows NT 4.0's KERNEL32 has no SetSystemPowerState: there the request is not taken.
  using SetSystemPowerStateFn = BOOL(WINAPI*)(BOOL, BOOL);
  const auto setPowerState = As<SetSystemPowerStateFn>(KernelFunction("SetSystemPowerState"));
  if (setPowerState == nullptr) return false;
  EnableShutdownPrivilege();
  return setPowerState(suspend ? TRUE : FALSE, force ? TRUE : FALSE) != FALSE;
}

bool Win32System::RequestRestartWindows(uint32_t returnCode) {
#if defined(__i386__)
  // Only Windows 9x has these services; on NT the same export numbers are other functions.
  if (IsWindowsNT()) return false;
  HMODULE kernel = GetModuleHandleA("KERNEL32");
  using LoadLibrary16Fn = DWORD(WINAPI*)(LPCSTR);
  using GetProcAddress16Fn = DWORD(WINAPI*)(WORD, LPCSTR);
  const auto loadLibrary16 = As<LoadLibrary16Fn>(reinterpret_cast<ProcAddress>(ExportByOrdinal(kernel, 35)));
  const auto freeLibrary16 = As<FreeLibrary16Fn>(reinterpret_cast<ProcAddress>(ExportByOrdinal(kernel, 36)));
  const auto getProcAddress16 = As<GetProcAddress16Fn>(reinterpret_cast<ProcAddress>(ExportByOrdinal(kernel, 37)));
  if (loadLibrary16 == nullptr || freeLibrary16 == nullptr || getProcAddress16 == nullptr) return false;
  // The answer is an HINSTANCE16: only its low word is defined.
  const WORD user = LOWORD(loadLibrary16("USER.EXE"));
  if (user < 32) return false;  // 16-bit load errors are the numbers below 32
  const Module16 userModule(user, freeLibrary16);
  bool taken = false;
  const DWORD exitWindows = getProcAddress16(userModule.get(), "ExitWindows");
  if (exitWindows != 0) {
    HMODULE kernel32 = GetModuleHandleA("Kernel32");
    const FARPROC qtThunk = kernel32 != nullptr ? GetProcAddress(kernel32, "QT_Thunk") : nullptr;
    // ExitWindows answers a 16-bit BOOL: 0 when an application refused to end.
    if (qtThunk != nullptr) taken = (velkin_CallThunk16(exitWindows, qtThunk, returnCode) & 0xFFFF) != 0;
  }
  return taken;
#else
  (void)returnCode;  // the 64-bit program has no 16-bit services to call
  return false;
#endif
}

// Top-level windows.

WindowHandle Win32System::FirstWindow(WindowHandle of) { return GetWindow(static_cast<HWND>(of), GW_HWNDFIRST); }

WindowHandle Win32System::NextWindow(WindowHandle after) { return GetWindow(static_cast<HWND>(after), GW_HWNDNEXT); }

bool Win32System::WindowVisible(WindowHandle window) { return IsWindowVisible(static_cast<HWND>(window)) != FALSE; }

std::string Win32System::WindowTitle(WindowHandle window) { return WindowText(static_cast<HWND>(window)); }

bool Win32System::WindowOwned(WindowHandle window) { return GetParent(static_cast<HWND>(window)) != nullptr; }

void Win32System::ShowMinimized(WindowHandle window) { ShowWindow(static_cast<HWND>(window), SW_SHOWMINIMIZED); }

}  // namespace velkin
