// The settings files: a first start (the welcome box, the defaults), changes kept over a
// restart, bad stored values (their warnings), and a plain start and exit. run_e2e.sh writes
// the files before and reads them after; the program starts in the driver's current directory.
#include "tests/e2e/driver/driver.h"

namespace driver {
namespace {

// The message boxes of the way up.
const char *const kWelcomeText = "Velkinの初めての起動です。\nまたは初期化情報が失われています。";
const char *const kIntervalWarning = "保存されていた更新間隔情報が不正です。\nとりあえず「１秒」に設定しました。";
// The drive warning names the drive selector's first entry between these two.
const char *const kDriveWarningHead = "保存されていた検査対象ドライブ情報が不正です。\nとりあえず";
const char *const kDriveWarningTail = "に設定しました。";

// The menu commands the checks send, and the selections they make.
const WPARAM kFreeGBytesCommand = 32777;
const WPARAM kTotalMBytesCommand = 32780;
const WPARAM kMemoryKBytesCommand = 32772;
const WPARAM kThreeDecimalsCommand = 32786;
const int kChangedInterval = 2;  // "200ミリ秒"
const int kChangedDrive = 2;     // "All" under Wine: C:\, Z:\, All
const int kDefaultDrive = 0;

// count / 2^shift with `decimals` places after the point, rounded to the nearest, ties to even:
// the driver's own reckoning of a readout in kBytes (10), MBytes (20) or GBytes (30).
std::string fixed_str(unsigned long long count, unsigned shift, int decimals) {
  const unsigned long long mask = (1ull << shift) - 1, half = 1ull << (shift - 1);
  unsigned long long scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  unsigned long long whole = count >> shift;
  const unsigned long long scaled_rest = (count & mask) * scale;  // below 2^30 * 10^4: no overflow
  unsigned long long frac = scaled_rest >> shift;
  const unsigned long long rest = scaled_rest & mask;
  const unsigned long long last_digit = decimals ? frac : whole;
  if (rest > half || (rest == half && (last_digit & 1))) ++frac;
  if (frac == scale) {
    ++whole;
    frac = 0;
  }
  std::string s = num((long long)whole);
  if (decimals) {
    std::string f = num((long long)frac);
    s += "." + std::string(decimals - f.size(), '0') + f;
  }
  return s;
}

// The driver's measure of every fixed drive added up, as the selector's "All" reads.
bool measure_all_drives(DiskSizes *sum, std::string *error) {
  *sum = DiskSizes();
  for (const std::string &root : fixed_drives()) {
    DiskSizes d;
    DWORD code = 0;
    if (!measure_disk(root, false, &d, &code)) {
      *error = "GetDiskFreeSpaceExA of " + root + " error " + num(code);
      return false;
    }
    sum->total += d.total;
    sum->free += d.free;
  }
  return true;
}

// The readouts of a first start: "N Bytes" each, the total that of the first fixed drive.
void check_bytes_readouts(Results &res, const std::string &prefix, HWND bar) {
  const std::vector<std::string> drives = fixed_drives();
  SizeReadout free_space, total, memory;
  DiskSizes own;
  DWORD error = 0;
  bool measured = false;
  wait_for(kRefreshWaitMs, [&] {
    free_space = read_size(bar, kFreeReadout);
    total = read_size(bar, kTotalReadout);
    memory = read_size(bar, kMemoryReadout);
    measured = !drives.empty() && measure_disk(drives.front(), false, &own, &error);
    return free_space.valid && total.valid && memory.valid && measured && total.bytes == own.total;
  });
  const std::string form = "\"N Bytes\", N the byte count in decimal digits";
  res.check(free_space.valid, prefix + ".free_bytes", form, readout_str(free_space));
  res.check(total.valid && measured && total.bytes == own.total, prefix + ".total_bytes",
            measured ? bytes_str(own.total) + ", the total of " + drives.front() : "a fixed drive the driver can measure",
            readout_str(total));
  res.check(memory.valid && memory.bytes > 0, prefix + ".memory_bytes", form + ", N > 0", readout_str(memory));
}

// The readouts after the changes: the free space of all drives in GBytes and their total in
// MBytes, the free memory in kBytes, all with 3 places. The total must be exact; the free space
// within the tolerance for each drive, as both drives may share one disk.
void check_changed_readouts(Results &res, const std::string &prefix, HWND bar) {
  const int places = 3;
  const unsigned long long per_unit = 1000;  // 10^places
  const unsigned long long free_slack = ((2 * kFreeTolerance * per_unit) >> 30) + 1;
  std::string free_text, total_text, memory_text, want_total, error;
  bool free_ok = false, total_ok = false, memory_ok = false, measured = false;
  DiskSizes all;
  unsigned long long free_shown = 0, free_want = 0, memory_shown = 0;
  MEMORYSTATUSEX status = {};
  status.dwLength = sizeof status;
  const bool have_status = GlobalMemoryStatusEx(&status) != FALSE;
  const unsigned long long memory_limit = (status.ullTotalPhys >> 10) * per_unit;  // in 10^-3 kBytes
  wait_for(kRefreshWaitMs, [&] {
    get_text(GetDlgItem(bar, kFreeReadout), &free_text);
    get_text(GetDlgItem(bar, kTotalReadout), &total_text);
    get_text(GetDlgItem(bar, kMemoryReadout), &memory_text);
    measured = measure_all_drives(&all, &error);
    want_total = fixed_str(all.total, 20, places) + " MBytes";
    free_want = (all.free >> 30) * per_unit + (((all.free & ((1ull << 30) - 1)) * per_unit) >> 30);
    total_ok = measured && total_text == want_total;
    free_ok = measured && parse_fixed(free_text, "GBytes", places, &free_shown) &&
              distance(free_shown, free_want) <= free_slack;
    memory_ok = have_status && parse_fixed(memory_text, "kBytes", places, &memory_shown) && memory_shown > 0 &&
                memory_shown < memory_limit;
    return total_ok && free_ok && memory_ok;
  });
  out("note: " + prefix + ": free " + text_str(free_text) + ", total " + text_str(total_text) + ", memory " +
      text_str(memory_text));
  if (!res.check(measured, prefix + ".measured", "GetDiskFreeSpaceExA of every fixed drive in the driver", error))
    return;
  res.check(total_ok, prefix + ".total_mbytes",
            text_str(want_total) + ", the total of every fixed drive (" + num((long long)all.total) + " bytes)",
            text_str(total_text));
  res.check(free_ok, prefix + ".free_gbytes",
            "\"N.DDD GBytes\" within " + num((long long)free_slack) + " thousandths of " +
                fixed_str(all.free, 30, places) + ", the free space of every fixed drive",
            text_str(free_text));
  res.check(memory_ok, prefix + ".memory_kbytes",
            "\"N.DDD kBytes\" above 0 and below the physical memory, " + fixed_str(status.ullTotalPhys, 10, places),
            text_str(memory_text));
}

// A start with settings, in the driver's current directory: no box on the way up.
Scenario with_settings(const std::string &name, Ending ending) { return Scenario(name, Up::kNoBox, ending, false); }

// First start in a folder without settings: the welcome before the bar and before any file is
// written, then the defaults; then the exit button (which writes the files).
int first_start(const std::string &exe) {
  char cwd[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof cwd, cwd);
  out("note: the program starts in " + std::string(cwd));
  Scenario first("first", Up::kOneBox, Ending::kExitButton, false);
  first.box_caption = kWelcomeCaption;
  first.box_text = kWelcomeText;
  first.box_icon = "information";
  first.check_box = [](Results &res, const Instance &inst, const SeenBox &b) {
    res.check(!b.bar_visible, "first.box_before_bar", "no visible bar while the box shows", "a visible bar");
    const std::vector<std::string> only = {"velkin.exe"};
    res.check(b.files == only, "first.nothing_written", "only velkin.exe in " + inst.dir + " while the box shows",
              list_str(b.files));
  };
  return run_scenario(first, exe, [](Results &res, Instance &inst) {
    check_selected(res, "first.interval_selected", inst.bar, kIntervalSelector, kDefaultInterval);
    check_selected(res, "first.drive_selected", inst.bar, kDriveSelector, kDefaultDrive);
    check_bytes_readouts(res, "first", inst.bar);
  });
}

// With settings: no box; units, places, interval and drive changed from outside, the readouts
// following; then the exit button.
int change_settings(const std::string &exe) {
  return run_scenario(with_settings("change", Ending::kExitButton), exe, [](Results &res, Instance &inst) {
    for (WPARAM command : {kFreeGBytesCommand, kTotalMBytesCommand, kMemoryKBytesCommand, kThreeDecimalsCommand})
      PostMessageA(inst.bar, WM_COMMAND, command, 0);
    check_select(res, "change.select_interval", inst.bar, kIntervalSelector, kChangedInterval);
    check_select(res, "change.select_drive", inst.bar, kDriveSelector, kChangedDrive);
    check_changed_readouts(res, "change", inst.bar);
    check_selected(res, "change.interval_selected", inst.bar, kIntervalSelector, kChangedInterval);
    check_selected(res, "change.drive_selected", inst.bar, kDriveSelector, kChangedDrive);
  });
}

// After change-settings: no box, the changes back; then the interval changed to "2秒" through
// its selector and WM_CLOSE, which saves as the exit button does (the caller reads the files).
int check_restored(const std::string &exe) {
  return run_scenario(with_settings("restored", Ending::kClose), exe, [](Results &res, Instance &inst) {
    check_selected(res, "restored.interval_selected", inst.bar, kIntervalSelector, kChangedInterval);
    check_selected(res, "restored.drive_selected", inst.bar, kDriveSelector, kChangedDrive);
    check_changed_readouts(res, "restored", inst.bar);
    check_select(res, "restored.select_interval", inst.bar, kIntervalSelector, 5);  // "2秒"
  });
}

// A stored selector position the selector does not have: the warning, then the bar with the
// given positions selected; then the exit button.
int check_warning(const std::string &exe, const std::string &kind, int interval, int drive) {
  const std::string prefix = "warning-" + kind;
  Scenario warned(prefix, Up::kOneBox, Ending::kExitButton, false);
  warned.box_caption = kWarningCaption;
  warned.box_text = kIntervalWarning;
  if (kind == "drive") {
    const std::vector<std::string> drives = fixed_drives();
    warned.box_text =
        kDriveWarningHead + (drives.empty() ? std::string(kAllDrivesEntry) : drives.front()) + kDriveWarningTail;
  }
  warned.box_icon = "stop";
  return run_scenario(warned, exe, [&](Results &res, Instance &inst) {
    check_selected(res, prefix + ".interval_selected", inst.bar, kIntervalSelector, interval);
    check_selected(res, prefix + ".drive_selected", inst.bar, kDriveSelector, drive);
  });
}

// With settings: no box; then the exit button.
int start_exit(const std::string &exe) {
  return run_scenario(with_settings("restart", Ending::kExitButton), exe, nullptr);
}

const Commands kCommands = {
    {"first-start", "VELKIN_EXE", 1, [](char **a) { return first_start(a[0]); }},
    {"change-settings", "VELKIN_EXE", 1, [](char **a) { return change_settings(a[0]); }},
    {"check-restored", "VELKIN_EXE", 1, [](char **a) { return check_restored(a[0]); }},
    {"check-warning", "VELKIN_EXE interval|drive INTERVAL_POS DRIVE_POS", 4,
     [](char **a) {
       const std::string kind = a[1];
       unsigned long long interval = 0, drive = 0;
       if ((kind != "interval" && kind != "drive") || !parse_count(a[2], &interval) || !parse_count(a[3], &drive))
         return usage();
       return check_warning(a[0], kind, (int)interval, (int)drive);
     }},
    {"start-exit", "VELKIN_EXE", 1, [](char **a) { return start_exit(a[0]); }},
};

}  // namespace

}  // namespace driver
