// Velkin end-to-end driver: starts the real velkin.exe and inspects its bar from outside, with
// plain Win32 calls across the process boundary; what does not cross under Wine (fonts, the class
// cursor, brush and icon, icon sizes) the Windows integration tests (tests/windows/) check. Each
// feature file adds its sub-commands; driver.h and common.cpp hold what they share. Build (the
// CMake target velkin-driver uses the same flags at -O2), from the repository's root:
//   x86_64-w64-mingw32-g++-posix -std=c++17 -O1 -Wall -Wextra -Werror -fexec-charset=CP932 -I. -Isrc -static -mconsole
//     tests/e2e/driver/*.cpp -o velkin-driver.exe -luser32 -lgdi32
// Each check prints "PASS name" or "FAIL name: expected X, got Y"; every sub-command but launch
// ends with "N passed, M failed" and exits 0 only when nothing failed; "note:" lines inform. Text
// leaves as UTF-8 into a pipe or file and through WriteConsoleW into a console.

#include "tests/e2e/driver/driver.h"

namespace driver {

std::vector<SubCommand> &sub_commands() {
  static std::vector<SubCommand> commands;
  return commands;
}

bool parse_count(const char *text, unsigned long long *n) {
  char *end = nullptr;
  if (!*text || *text < '0' || *text > '9') return false;
  *n = strtoull(text, &end, 10);
  return *end == '\0';
}

int usage() {
  std::string line = "usage: velkin-driver";
  for (const SubCommand &c : sub_commands())
    line += std::string(line.size() > 20 ? " | " : " ") + c.name + (*c.args ? " " : "") + c.args;
  err(line);
  return 2;
}

}  // namespace driver

int main(int argc, char **argv) {
  using namespace driver;
  // On a fresh Wine server the desktop (Wine's explorer) is started by the first process that
  // asks for it; asked here, it is up before any program starts, as it always is on Windows, and
  // the program's first window never races the driver's first look for it.
  GetDesktopWindow();
  if (argc >= 2)
    for (const SubCommand &c : sub_commands())
      if (argv[1] == std::string(c.name) && argc == c.count + 2) return c.run(argv + 2);
  return usage();
}
