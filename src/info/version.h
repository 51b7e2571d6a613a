// Which Windows the program runs on, judged from the build number, and what follows from it:
// whether disks of 2 GB and more can be measured and whether suspend is offered.
#ifndef VELKIN_INFO_VERSION_H
#define VELKIN_INFO_VERSION_H

#include <cstdint>
#include <string>

namespace velkin {

struct WindowsRelease {
  const char* name;      // "[Windows 95]", "[Windows 95 OSR2]" or "[Windows 98]"
  bool largeDisk;        // from OSR2 on: the 64-bit free-space query
  bool suspend;          // on Windows 98 only
  std::string versionText;  // "Windowsのバージョン：4.10.1998 [Windows 98]"
};

// Judges the release by the low 16 bits of the build number alone (the high ones may hold the
// major and minor version): 1998 and up is Windows 98, 1000 and up OSR2, anything lower 95.
WindowsRelease JudgeRelease(uint32_t major, uint32_t minor, uint32_t build);

// The version dialog's texts for the two flags.
const char* DiskSupportText(bool largeDisk);
const char* SuspendSupportText(bool suspend);

}  // namespace velkin

#endif
