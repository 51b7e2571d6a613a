#include "info/version.h"

#include "readouts/format.h"

namespace velkin {

WindowsRelease JudgeRelease(uint32_t major, uint32_t minor, uint32_t build) {
  const uint32_t build16 = build & 0xFFFF;
  WindowsRelease release;
  if (build16 >= 1998) {
    release = {"[Windows 98]", 1, 1, {}};
  } else if (build16 >= 1000) {
    release = {"[Windows 95 OSR2]", 1, 0, {}};
  } else {
    release = {"[Windows 95]", 0, 0, {}};
  }
  // "Windowsのバージョン：%lu.%02lu.%lu %s"
  release.versionText = "Windowsのバージョン：" + DecimalDigits(major) + "." + DecimalDigits(minor, 2) + "." +
                        DecimalDigits(build16) + " " + release.name;
  return release;
}

const char* DiskSupportText(int32_t largeDisk) {
  return largeDisk != 0 ? "Windows 95 OSR2以上なので\r\n2GB以上のディスクをサポートします。"
                        : "Windows 95のバージョンが古いので\r\n2GB以上のディスクをサポートしません。";
}

const char* SuspendSupportText(int32_t suspend) {
  return suspend != 0 ? "このバージョンではサスペンドモードを正式にサポートしています。"
                      : "このバージョンではサスペンドモードを正式にサポートしていません。";
}

}  // namespace velkin
