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
