// Drives and their readouts: the driver's own measure of a drive, and check-readouts (the
// selectors' entries; drive C:'s readouts against the driver's measure and the host's figures,
// following a file written there; the memory and resources readouts).
#include "tests/e2e/driver/driver.h"

#include <algorithm>

namespace driver {

// The roots of the fixed drives, A..Z in letter order, as the driver sees them.
std::vector<std::string> fixed_drives() {
  std::vector<std::string> roots;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string root = std::string(1, letter) + ":\\";
    if (GetDriveTypeA(root.c_str()) == DRIVE_FIXED) roots.push_back(root);
  }
  return roots;
}

// The driver's own measure of a drive, the way the bar measures it: with GetDiskFreeSpaceExA
// (the disk's total bytes and total free bytes) or, where Windows does not support disks of
// 2 GB and more, from GetDiskFreeSpaceA's cluster counts. False with the error code otherwise.
bool measure_disk(const std::string &root, bool clusters, DiskSizes *d, DWORD *error) {
  bool ok;
  if (clusters) {
    DWORD sectors = 0, bytes = 0, free_clusters = 0, total_clusters = 0;
    ok = GetDiskFreeSpaceA(root.c_str(), &sectors, &bytes, &free_clusters, &total_clusters) != FALSE;
    const unsigned long long cluster = (unsigned long long)sectors * bytes;
    d->total = cluster * total_clusters;
    d->free = cluster * free_clusters;
  } else {
    ULARGE_INTEGER caller = {}, total = {}, total_free = {};
    ok = GetDiskFreeSpaceExA(root.c_str(), &caller, &total, &total_free) != FALSE;
    d->total = total.QuadPart;
    d->free = total_free.QuadPart;
  }
  *error = ok ? 0 : GetLastError();
  return ok;
}

namespace {

// What the freshness check writes to the measured drive, well above the tolerance.
const unsigned long long kFillBytes = 256ull << 20;

std::string near_str(unsigned long long n) {
  return "within " + num((long long)(kFreeTolerance >> 20)) + " MiB of " + bytes_str(n);
}

// Waits up to kRefreshWaitMs for the free space shown to agree with the driver's measure.
void check_free_agrees(Results &res, const std::string &name, HWND bar, const std::string &root,
                       const std::string &when) {
  SizeReadout shown;
  DiskSizes own;
  DWORD error = 0;
  bool measured = false;
  const bool agree = wait_for(kRefreshWaitMs, [&] {
    shown = read_size(bar, kFreeReadout);
    measured = measure_disk(root, false, &own, &error);
    return measured && shown.valid && distance(shown.bytes, own.free) <= kFreeTolerance;
  });
  res.check(agree, name,
            "within " + num(kRefreshWaitMs / 1000) + " s " + when + ", " + near_str(own.free),
            measured ? readout_str(shown) : "GetDiskFreeSpaceExA error " + num(error));
}

// The readouts follow the disk on their own: writes kFillBytes to a file on the drive and
// checks that the free space shown follows the driver's measure down, and up again once the
// file is gone. Either way it moves by four times the tolerance, so a readout that stands
// still cannot agree.
void check_free_follows(Results &res, HWND bar, const std::string &root) {
  const std::string path = root + "velkin-e2e-fill.tmp";
  DiskSizes before, filled;
  DWORD error = 0;
  if (!res.check(measure_disk(root, false, &before, &error), "fill.measured_before", "GetDiskFreeSpaceExA of " + root,
                 "error " + num(error)))
    return;
  // Deleted when closed, and so also when the driver dies with it open.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (!res.check(file != INVALID_HANDLE_VALUE, "fill.create", "a new file " + path, "error " + num(GetLastError())))
    return;
  // Bytes that no file system stores in less room than they take.
  std::vector<unsigned char> chunk(1 << 20);
  unsigned int x = 12345;
  for (unsigned char &b : chunk) {
    x = x * 1103515245u + 12345u;
    b = (unsigned char)(x >> 24);
  }
  bool written = true;
  for (unsigned long long done = 0; written && done < kFillBytes; done += chunk.size()) {
    DWORD n = 0;
    written = WriteFile(file, chunk.data(), (DWORD)chunk.size(), &n, nullptr) && n == chunk.size();
  }
  written = written && FlushFileBuffers(file);
  bool measured = measure_disk(root, false, &filled, &error);
  const unsigned long long drop = before.free > filled.free ? before.free - filled.free : 0;
  res.check(written && measured && drop + kFreeTolerance >= kFillBytes, "fill.measured_after",
            "the driver's measure of " + root + " down by about " + num((long long)(kFillBytes >> 20)) +
                " MiB after writing that much",
            !written ? "writing failed, error " + num(GetLastError())
                     : measured ? "down by " + num((long long)drop) + " bytes" : "error " + num(error));
  check_free_agrees(res, "readouts.free_follows_fill", bar, root, "of filling the drive");
  CloseHandle(file);
  bool removed = GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
  if (!res.check(removed, "fill.removed", "no " + path + " after closing it", "it is still there"))
    DeleteFileA(path.c_str());
  check_free_agrees(res, "readouts.free_follows_removal", bar, root, "of removing the file");
}

// A selector's entries: "ctlN.items", against `want`, which `why` explains; and the entry
// selected, "ctlN.selected". The entries go to *items, the position selected is returned.
LRESULT check_selector(Results &res, HWND bar, int id, const std::vector<std::string> &want, const std::string &why,
                       int selected_want, std::vector<std::string> *items) {
  const std::string name = "ctl" + num(id);
  std::string error = "no control " + num(id);
  HWND box = GetDlgItem(bar, id);
  const bool have = box && combo_items(box, items, &error);
  if (!have) items->clear();
  res.check(have && *items == want, name + ".items", list_str(want) + why, have ? list_str(*items) : error);
  check_selected(res, name + ".selected", bar, id, selected_want);
  DWORD_PTR selected = 0;
  return box && send(box, CB_GETCURSEL, 0, 0, &selected) ? (LRESULT)selected : -1;
}

// Checks both selectors' entries and selections; returns the root of the drive selected ("" when
// there is none).
std::string check_selectors(Results &res, HWND bar) {
  std::vector<std::string> drives, intervals, want = fixed_drives();
  want.push_back(kAllDrivesEntry);
  const LRESULT selected = check_selector(res, bar, kDriveSelector, want,
                                          ", the fixed drives GetDriveTypeA finds and \"All\"", 0, &drives);
  // Wine's prefix maps C: to its drive_c folder and Z: to the host's root, both fixed drives.
  auto listed = [&](const char *root) { return std::find(drives.begin(), drives.end(), root) != drives.end(); };
  res.check(listed("C:\\") && listed("Z:\\"), "ctl115.wine_drives", "\"C:\\\" and \"Z:\\\" among the entries",
            list_str(drives));
  check_selector(res, bar, kIntervalSelector, {std::begin(kIntervalEntries), std::end(kIntervalEntries)}, "",
                 kDefaultInterval, &intervals);
  return selected >= 0 && selected < (LRESULT)drives.size() ? drives[selected] : "";
}

}  // namespace

// Checks the drive readouts against the driver's measure of the same drive: the total exactly,
// the free space within kFreeTolerance; up to kRefreshWaitMs for them to agree, so the bar has
// measured since the driver's numbers moved. Returns what they show; false when they showed
// no "N Bytes".
bool check_drive_readouts(Results &res, const std::string &prefix, HWND bar, const std::string &root,
                          bool clusters, DiskSizes *shown) {
  SizeReadout free_space, total;
  DiskSizes own;
  DWORD error = 0;
  bool measured = false;
  wait_for(kRefreshWaitMs, [&] {
    free_space = read_size(bar, kFreeReadout);
    total = read_size(bar, kTotalReadout);
    measured = measure_disk(root, clusters, &own, &error);
    return measured && free_space.valid && total.valid && total.bytes == own.total &&
           distance(free_space.bytes, own.free) <= kFreeTolerance;
  });
  const std::string how = std::string(clusters ? "GetDiskFreeSpaceA" : "GetDiskFreeSpaceExA") + " of " + root;
  if (!res.check(measured, prefix + ".measured", how + " in the driver", "error " + num(error))) return false;
  res.check(total.valid && total.bytes == own.total, prefix + ".total", bytes_str(own.total) + " (" + how + ")",
            readout_str(total));
  res.check(free_space.valid && distance(free_space.bytes, own.free) <= kFreeTolerance, prefix + ".free",
            near_str(own.free) + " (" + how + ")", readout_str(free_space));
  shown->total = total.bytes;
  shown->free = free_space.bytes;
  return total.valid && free_space.valid;
}

namespace {

// What the host reports: drive C:'s folder and the physical memory, in bytes.
struct HostFigures {
  unsigned long long disk_total, disk_free, memory;
};

int check_readouts(const std::string &exe, const HostFigures &host) {
  return run_scenario(Scenario("readouts", Up::kBar, Ending::kClose), exe, [&](Results &res, Instance &inst) {
    const std::string root = check_selectors(res, inst.bar);
    DiskSizes shown;
    if (res.check(root == "C:\\", "readouts.selected_drive", "\"C:\\\" selected, the drive the host's figures are of",
                  text_str(root)) &&
        check_drive_readouts(res, "readouts.drive", inst.bar, root, false, &shown)) {
      res.check(shown.total == host.disk_total, "readouts.host_total", bytes_str(host.disk_total) + ", the host's",
                bytes_str(shown.total));
      res.check(distance(shown.free, host.disk_free) <= kFreeTolerance, "readouts.host_free",
                near_str(host.disk_free) + ", the host's", bytes_str(shown.free));
      check_free_follows(res, inst.bar, root);
    }
    SizeReadout memory = read_size(inst.bar, kMemoryReadout);
    res.check(memory.valid && memory.bytes > 0 && memory.bytes <= host.memory, "readouts.memory",
              "\"N Bytes\" with 0 < N <= " + num((long long)host.memory) + ", the host's physical memory",
              readout_str(memory));
    // Free memory never reaches the total: the system itself takes some.
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    bool have_status = GlobalMemoryStatusEx(&status) != FALSE;
    res.check(have_status && memory.valid && memory.bytes < status.ullTotalPhys, "readouts.memory_below_total",
              have_status ? "less than " + bytes_str(status.ullTotalPhys) + ", the physical memory Windows reports"
                          : "GlobalMemoryStatusEx to answer",
              readout_str(memory));
    if (have_status)
      out("note: the driver finds " + num((long long)status.ullAvailPhys) + " of " +
          num((long long)status.ullTotalPhys) + " bytes of physical memory free");
    check_text(res, "readouts.resources", GetDlgItem(inst.bar, kResourcesReadout), kNoResources);
  });
}

const Commands kCommands = {
    {"check-readouts", "VELKIN_EXE C_TOTAL C_FREE MEMORY", 4,
     [](char **a) {
       HostFigures host;
       const bool ok = parse_count(a[1], &host.disk_total) && parse_count(a[2], &host.disk_free) &&
                       parse_count(a[3], &host.memory);
       return ok ? check_readouts(a[0], host) : usage();
     }},
};

}  // namespace

}  // namespace driver
