#include "system/system.h"

#include <cstdlib>

namespace velkin {

namespace {
SystemServices* g_services = nullptr;
}  // namespace

SystemServices& Sys() {
  // Nothing may touch the machine before services are installed: a missing installation is
  // a programming error and would otherwise be a null dereference somewhere deeper.
  if (g_services == nullptr) std::abort();
  return *g_services;
}

void SetSys(SystemServices* services) { g_services = services; }

}  // namespace velkin
