// The Windows version: check-version (with Wine set to report a version: the bar's buttons and
// drive readouts, and the version dialog opened from its menu command); what the bar makes of a
// version, its buttons and its version dialog, which the personality's scenarios check too.
#include "tests/e2e/driver/driver.h"

namespace driver {
namespace {

// The version dialog, opened from the menu.
const char *const kVersionCaption = "Windowsバージョン情報";
const int kVersionTextId = 1002;
const int kDiskSupportId = 1003;
const int kSuspendSupportId = 1014;
const int kVersionOkId = 101;

// The Windows versions Wine reports for its Version setting (HKCU\Software\Wine).
struct WineVersion {
  const char *setting;
  DWORD major, minor, build;
};
const WineVersion kWineVersions[] = {
    {"win95", 4, 0, 950},
    {"win98", 4, 10, 2222},
    {"win7", 6, 1, 7601},  // Wine's own choice when nothing is set
};

std::string version_str(DWORD major, DWORD minor, DWORD build) {
  return num(major) + "." + num(minor) + " build " + num(build);
}

const WineVersion *find_wine_version(const std::string &setting) {
  for (const WineVersion &v : kWineVersions)
    if (setting == v.setting) return &v;
  return nullptr;
}

}  // namespace

// What the bar makes of a Windows version: the build number's low 16 bits tell Windows 95,
// Windows 95 OSR2 (large disks) and Windows 98 (large disks and suspend) apart.
VersionTexts version_texts(DWORD major, DWORD minor, DWORD build) {
  VersionTexts t;
  t.large_disks = build >= 1000;
  t.suspend = build >= 1998;
  const char *name = t.suspend ? "[Windows 98]" : t.large_disks ? "[Windows 95 OSR2]" : "[Windows 95]";
  char buf[256];
  snprintf(buf, sizeof buf, "Windowsのバージョン：%lu.%02lu.%lu %s", major, minor, build, name);
  t.version = buf;
  t.disks = t.large_disks ? "Windows 95 OSR2以上なので\r\n2GB以上のディスクをサポートします。"
                          : "Windows 95のバージョンが古いので\r\n2GB以上のディスクをサポートしません。";
  t.suspend_text = t.suspend ? "このバージョンではサスペンドモードを正式にサポートしています。"
                             : "このバージョンではサスペンドモードを正式にサポートしていません。";
  return t;
}

void check_buttons(Results &res, HWND bar, bool suspend) {
  for (const Control &e : kControls) {
    if (e.kind != Kind::kButton) continue;
    const std::string name = "version.ctl" + num(e.id);
    HWND c = GetDlgItem(bar, e.id);
    if (!res.check(c != nullptr, name + ".exists", "a child with this control ID", "none")) continue;
    const bool shown = e.id != kSuspendButton || suspend;
    res.eq_hex(name + ".style", shown ? e.style : e.style & ~(DWORD)WS_VISIBLE,
               (DWORD)GetWindowLongPtrA(c, GWL_STYLE));
    const bool visible = IsWindowVisible(c) != FALSE;
    res.check(visible == shown, name + ".visible", shown ? "visible" : "not visible",
              visible ? "visible" : "not visible");
    res.eq_rect(name + ".rect", rect_of(e.place), client_rect_in(c, bar));
  }
}

// Opens the version dialog the way its menu command does, checks its texts, closes it with
// its button and checks that the bar lives on.
void check_version_dialog(Results &res, const Instance &inst, const VersionTexts &expected) {
  PostMessageA(inst.bar, WM_COMMAND, kVersionCommand, 0);
  HWND dialog = check_dialog(res, "dialog.shown", inst.pi.dwProcessId, kVersionCaption,
                             "WM_COMMAND " + num(kVersionCommand));
  if (!dialog) return;
  const bool owned = GetWindow(dialog, GW_OWNER) == inst.bar;
  out("note: the dialog's owner is " + std::string(owned ? "the bar" : "not the bar"));
  check_text(res, "dialog.ctl1002.text", GetDlgItem(dialog, kVersionTextId), expected.version);
  check_text(res, "dialog.ctl1003.text", GetDlgItem(dialog, kDiskSupportId), expected.disks);
  check_text(res, "dialog.ctl1014.text", GetDlgItem(dialog, kSuspendSupportId), expected.suspend_text);
  check_text(res, "dialog.ctl101.text", GetDlgItem(dialog, kVersionOkId), "了解");
  click_closes(res, "dialog.closed", dialog, kVersionOkId);
  DWORD_PTR ignored = 0;
  bool running = WaitForSingleObject(inst.pi.hProcess, 0) == WAIT_TIMEOUT;
  bool answers = running && send(inst.bar, WM_NULL, 0, 0, &ignored);
  res.check(running && answers && IsWindowVisible(inst.bar), "dialog.bar_lives_on",
            "the bar still running, visible and answering",
            !running ? "the process ended" : !answers ? "no answer to WM_NULL" : "the bar is hidden");
}

namespace {

int check_version(const std::string &exe, const WineVersion &wine) {
  Results res;
  OSVERSIONINFOA v = {};
  v.dwOSVersionInfoSize = sizeof v;
  GetVersionExA(&v);
  const DWORD build = v.dwBuildNumber & 0xffff;
  // The bar sees what the driver sees; a different version means the setting did not take.
  res.check(v.dwMajorVersion == wine.major && v.dwMinorVersion == wine.minor && build == wine.build, "version.wine",
            "Windows " + version_str(wine.major, wine.minor, wine.build) + " (Wine's setting " + wine.setting + ")",
            "Windows " + version_str(v.dwMajorVersion, v.dwMinorVersion, build));
  const VersionTexts expected = version_texts(v.dwMajorVersion, v.dwMinorVersion, build);
  const Steps steps = [&](Results &res, Instance &inst) {
    check_buttons(res, inst.bar, expected.suspend);
    // The first fixed drive is selected on a first start.
    const std::vector<std::string> drives = fixed_drives();
    DiskSizes shown;
    if (res.check(!drives.empty(), "version.fixed_drive", "a fixed drive", "none") &&
        check_drive_readouts(res, "version.drive", inst.bar, drives.front(), !expected.large_disks, &shown))
      out("note: " + drives.front() + " shows free " + bytes_str(shown.free) + ", total " + bytes_str(shown.total));
    check_version_dialog(res, inst, expected);
  };
  return run_scenario(Scenario("version", Up::kBar, Ending::kClose), exe, steps, res);
}

const Commands kCommands = {
    {"check-version", "VELKIN_EXE win95|win98|win7", 2,
     [](char **a) {
       const WineVersion *wine = find_wine_version(a[1]);
       return wine ? check_version(a[0], *wine) : usage();
     }},
};

}  // namespace

}  // namespace driver
