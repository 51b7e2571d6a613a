// A scripted machine for tests: a screen of a chosen size and a shell that keeps app bars the
// way the Windows shell does (each bar is kept clear of the bars already placed on its edge).
// Every request is recorded, so a test can check what was asked and in which order.
#ifndef VELKIN_PLATFORM_FAKE_SYSTEM_H
#define VELKIN_PLATFORM_FAKE_SYSTEM_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/system.h"

namespace velkin {

class FakeSystem : public SystemServices {
 public:
  struct AppBarCall {
    uint32_t message;
    AppBarRecord sent;      // the record as the program sent it
    AppBarRecord answered;  // the record as the shell left it
    uintptr_t result;
  };
  struct Bar {
    WindowHandle hWnd;
    uint32_t callbackMessage;
    uint32_t edge;
    Rect rc;
    bool placed;  // the bar has set a position (ABM_SETPOS)
  };

  Size ScreenSize() override { return screen; }
  uintptr_t AppBarMessage(uint32_t message, AppBarRecord& data) override;

  // Another program's bar, registered and placed before ours.
  void AddPlacedBar(WindowHandle hWnd, uint32_t edge, Rect rc);
  // The shell was restarted: it has forgotten every bar.
  void RestartShell() { bars.clear(); }

  const Bar* FindBar(WindowHandle hWnd) const;
  std::size_t CountCalls(uint32_t message) const;

  Size screen{1024, 768};
  // When set, ABM_NEW of a bar that is already registered answers FALSE, as Wine's shell does;
  // otherwise the shell registers it again silently.
  bool refuseSecondRegistration = true;
  std::vector<Bar> bars;
  std::vector<AppBarCall> appBarCalls;

 private:
  Bar* Find(WindowHandle hWnd);
  // Moves rc clear of the placed bars on its edge (other than the asking one) and of the
  // screen's sides, as ABM_QUERYPOS and ABM_SETPOS do.
  void Adjust(WindowHandle asking, uint32_t edge, Rect& rc) const;
};

}  // namespace velkin

#endif
