// The system services as Windows provides them.
#ifndef VELKIN_PLATFORM_WIN32_SYSTEM_H
#define VELKIN_PLATFORM_WIN32_SYSTEM_H

#include "platform/system.h"

namespace velkin {

class Win32System : public SystemServices {
 public:
  Size ScreenSize() override;
  uintptr_t AppBarMessage(uint32_t message, AppBarRecord& data) override;
};

}  // namespace velkin

#endif
