// Plain types that cross the system services interface. They hold no <windows.h> types so
// that the portable core and the scripted fake build natively; the Win32 implementation checks
// that their layout is that of the Windows structures they stand for.
#ifndef VELKIN_SYSTEM_TYPES_H
#define VELKIN_SYSTEM_TYPES_H

#include <cstdint>

namespace velkin {

// A window handle (HWND), opaque to the portable code.
using WindowHandle = void*;

// A rectangle in pixels, laid out like RECT.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  friend bool operator==(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  }
  friend bool operator!=(const Rect& a, const Rect& b) { return !(a == b); }
};

// A width and height in pixels, laid out like SIZE.
struct Size {
  int32_t cx = 0;
  int32_t cy = 0;
  friend bool operator==(const Size& a, const Size& b) { return a.cx == b.cx && a.cy == b.cy; }
};

// The shell's app-bar record, laid out like APPBARDATA: 36 bytes in a 32-bit program,
// 48 in a 64-bit one.
struct AppBarRecord {
  uint32_t cbSize = 0;
  WindowHandle hWnd = nullptr;
  uint32_t uCallbackMessage = 0;
  uint32_t uEdge = 0;
  Rect rc;
  intptr_t lParam = 0;
};

// A loaded library (HMODULE) and a function found in one (FARPROC), opaque to the portable code.
using ModuleHandle = void*;
using ProcAddress = void*;

// What GetVersionExA reports.
struct WindowsVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  uint32_t platformId = 0;
};

// GetVersionExA's platform of the NT family (VER_PLATFORM_WIN32_NT); Windows 9x reports 1.
constexpr uint32_t kPlatformWin32NT = 2;

// Reading a whole file: read, not there, or there but not readable.
enum class FileRead { kRead, kMissing, kFailed };

// Renaming over an existing file in one step: done, refused (the target is read-only or in
// use, say), or not something this system can do (Windows 9x).
enum class Replace { kReplaced, kFailed, kUnsupported };

// Tells whether a byte begins a double-byte character in the system's ANSI code page.
using LeadByteTest = bool (*)(unsigned char);

// Message box styles (MessageBoxA's uType) of the boxes the portable code asks for.
enum : uint32_t {
  kBoxOk = 0x00,               // MB_OK
  kBoxIconStop = 0x10,         // MB_ICONHAND
  kBoxIconInformation = 0x40,  // MB_ICONINFORMATION
};

// GetDriveTypeA's answer for a fixed disk.
constexpr uint32_t kDriveFixed = 3;

// Screen edges, as the shell numbers them.
enum : uint32_t { kEdgeLeft = 0, kEdgeTop = 1, kEdgeRight = 2, kEdgeBottom = 3 };

// App-bar messages (ABM_*) and notifications (ABN_*).
enum : uint32_t {
  kAbmNew = 0,
  kAbmRemove = 1,
  kAbmQueryPos = 2,
  kAbmSetPos = 3,
  kAbmActivate = 6,
  kAbmWindowPosChanged = 9,
};
enum : uint32_t {
  kAbnStateChange = 0,
  kAbnPosChanged = 1,
  kAbnFullScreenApp = 2,
  kAbnWindowArrange = 3,
};

}  // namespace velkin

#endif
