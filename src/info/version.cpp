#include "info/version.h"

#include "readouts/format.h"

namespace velkin {

WindowsRelease JudgeRelease(uint32_t major, uint32_t minor, uint32_t build) {
  const uint32_t build16 = build & 0xFFFF;
  WindowsRelease release;
  if (build16 >= 1998) {
    release = {"[Windows 98]", true, true, {}};
  } else if (build16 >= 1000) {
    release = {"[Windows 95 OSR2]", true, false, {}};
  } else {
    release = {"[Windows 95]", false, false, {}};
  }
  // "Windowsのバージョン：%lu.%02lu.%lu %s"
  release.versionText = "Windowsのバージョン：" + DecimalDigits(major) + "." + DecimalDigits(minor, 2) + "." +
                        DecimalDigits(build16) + " " + release.name;
  return release;
}

const char* DiskSupportText(bool largeDisk) {
  return largeDisk ? "Windows 95 OSR2以上なので\r\n2GB以上のディスクをサポートします。"
                        : "Windows 95のバージョンが古いので\r\n2GB以上のディスクをサポートしません。";
}

const char* SuspendSupportText(bool suspend) {
  return suspend ? "このバージョンではサスペンドモードを正式にサポートしています。"
                      : "このバージョンではサスペンドモードを正式にサポートしていません。";
}

}  // namespace velkin
