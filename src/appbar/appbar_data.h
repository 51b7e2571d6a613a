// The app-bar record that travels with every message to the shell.
#ifndef VELKIN_APPBAR_APPBAR_DATA_H
#define VELKIN_APPBAR_APPBAR_DATA_H

#include <cstdint>

#include "system/system.h"
#include "system/types.h"

namespace velkin {

// WM_USER + 502: the message by which the shell notifies the bar.
constexpr uint32_t WM_APPBAR_NOTIFY = 0x5F6;

class CAppBarData {
 public:
  // Every message goes to the shell through `sys`.
  explicit CAppBarData(SystemServices& sys) : sys_(sys) {}

  // Fills the record; cbSize is the record's real size (36 in a 32-bit program).
  void Init(WindowHandle hWnd, uint32_t edge, const Rect& rc, intptr_t lParam,
            uint32_t callbackMessage);

  // One operation per shell message, each sending the record and nothing else.
  uintptr_t Register();          // ABM_NEW
  uintptr_t Remove();            // ABM_REMOVE
  uintptr_t QueryPos();          // ABM_QUERYPOS, may change rc
  uintptr_t SetPos();            // ABM_SETPOS, may change rc
  uintptr_t Activate();          // ABM_ACTIVATE
  uintptr_t WindowPosChanged();  // ABM_WINDOWPOSCHANGED

  // True from Register until Remove: the shell is expected to know this bar.
  bool IsRegistered() const { return registered_; }

  AppBarRecord abd;

 private:
  uintptr_t Send(uint32_t message);
  SystemServices& sys_;
  bool registered_ = false;
};

}  // namespace velkin

#endif
