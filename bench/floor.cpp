// Velkin benchmark floor: the measuring that the bar does on each refresh tick and nothing else,
// so that the bar's cost can be set against the least that its readouts can cost.
//
// No visible window and no text: a message-only window takes a window timer (SetTimer, the same
// call the bar makes) and, on each WM_TIMER, makes the bar's queries in the bar's order:
//   free space       for "All": on each fixed drive, GetDiskFreeSpaceExA asking only
//                    lpTotalNumberOfFreeBytes; the fixed drives listed (GetLogicalDrives, then
//                    GetDriveTypeA on each letter that exists) when the last list is 500 ms old;
//                    for one drive, the one GetDiskFreeSpaceExA
//   total capacity   the same, asking only lpTotalNumberOfBytes
//   resources        nothing: RSRC32 does not load here (LoadLibraryA fails under Wine), so the
//                    bar makes no call per tick for it either
//   free memory      GlobalMemoryStatusEx when KERNEL32 exports it, else GlobalMemoryStatus
// GetDiskFreeSpaceExA and GlobalMemoryStatusEx are looked up with GetProcAddress, as the bar
// does.
//
// Usage: floor [--drive all|C:\] [--period MS] [--seconds S] [variants...]
//   --idle            no timer, no queries: the cost of a Wine process that only waits
//   variants that add or take away one part, to see what each costs:
//   --list-for MS     "All" listing the fixed drives when the last list is MS old (default 500;
//                     0: anew for each figure, as the bar did before it kept its list)
//   --all-letters     "All" listing anew for each figure by asking GetDriveTypeA on every letter
//                     "A:\" .. "Z:\" (26 per figure), without GetLogicalDrives: how the bar listed
//                     its drives at first
//   --drivetype-once  "All" with the fixed drives listed anew once per tick, the list serving both
//                     figures
//   --kinds-for MS    "All" asking GetLogicalDrives for each figure and the letters' kinds only
//                     when its answer changed or when they are MS old
//   --no-drivetype    "All" with the fixed drives listed once at start: no GetLogicalDrives and
//                     no GetDriveTypeA per tick
//   --exchange N      after each figure (so N = 4 is the bar's count), compare the texts of ten
//                     static controls of a hidden window with the strings they should show: each
//                     GetDlgItem, then GetWindowTextLengthA and GetWindowTextA, and SetWindowTextA
//                     where they differ (the bar's data exchange)
//   --units quiet     with --exchange: the texts in whole GBytes (disk) and MBytes (memory), as
//                     the bar shows them with 0 decimals, instead of whole bytes; the number of
//                     texts set then counts how often those figures changed
//   --dlgitem-only N  N times per tick, the ten GetDlgItem calls of an exchange alone
//   --gettext-only N  N times per tick, the ten texts read alone (length and text), on handles
//                     kept
//   --one-query       the floor at the limit: each drive asked once per tick for both figures (one
//                     GetDiskFreeSpaceExA with lpTotalNumberOfBytes and lpTotalNumberOfFreeBytes),
//                     the fixed drives listed at most once per tick; otherwise as above
//   --kinds           no timer: print each drive letter that GetLogicalDrives reports with its
//                     GetDriveTypeA answer ("kind C:\ 3 kind Z:\ 3 ... fixed N") and exit
// Prints "ticks T seconds S sets N free F total B memory M ... pid P" when the time is up (N the
// texts set from the second tick on, P this process's id, to find its lines in a Wine trace).

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using GetDiskFreeSpaceExAFn = BOOL(WINAPI *)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
using GlobalMemoryStatusExFn = BOOL(WINAPI *)(LPMEMORYSTATUSEX);

const UINT_PTR kTickTimer = 1;
const UINT_PTR kEndTimer = 2;
const int kStaticIds[10] = {106, 107, 108, 109, 110, 111, 112, 113, 116, 117};

struct Options {
  std::string drive = "all";
  UINT period = 50;
  UINT seconds = 60;
  bool idle = false;
  bool drivetype = true;
  bool drivetype_once = false;
  bool all_letters = false;
  int exchanges = 0;
  bool quiet_units = false;
  int dlgitem_only = 0;
  int gettext_only = 0;
  long long kinds_for = -1;
  long long list_for = 500;
  bool one_query = false;
  bool kinds = false;
} opt;

GetDiskFreeSpaceExAFn disk_free_space_ex = nullptr;
GlobalMemoryStatusExFn memory_status_ex = nullptr;
std::vector<std::string> fixed_at_start;
unsigned long long ticks = 0, text_sets = 0;
uint64_t last_free = 0, last_total = 0, last_memory = 0;

HWND panel = nullptr;  // hidden, holding the ten statics, only for the exchange variants
HWND statics[10] = {};
std::string texts[10];

// The fixed drives' roots: GetDriveTypeA on each letter that GetLogicalDrives reports (on every
// letter where it reports none, or with --all-letters).
std::vector<std::string> fixed_drives() {
  DWORD present = opt.all_letters ? 0 : GetLogicalDrives();
  if (present == 0) present = (1u << 26) - 1;
  std::vector<std::string> roots;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if (!(present & (1u << (letter - 'A')))) continue;
    const char root[4] = {letter, ':', '\\', '\0'};
    if (GetDriveTypeA(root) == DRIVE_FIXED) roots.push_back(root);
  }
  return roots;
}

std::vector<std::string> tick_list;  // --drivetype-once: this tick's fixed drives

// --kinds-for MS: GetLogicalDrives on every listing; the kinds asked again only when its answer
// changes or when they are MS old.
DWORD kinds_mask = 0, kinds_asked = 0;
bool kinds_known = false;
std::vector<std::string> kinds_list;
std::vector<std::string> cached_fixed_drives() {
  const DWORD present = GetLogicalDrives();
  const DWORD now = GetTickCount();
  if (!kinds_known || present != kinds_mask || now - kinds_asked >= opt.kinds_for) {
    kinds_list.clear();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
      if (!(present & (1u << (letter - 'A')))) continue;
      const char root[4] = {letter, ':', '\\', '\0'};
      if (GetDriveTypeA(root) == DRIVE_FIXED) kinds_list.push_back(root);
    }
    kinds_mask = present, kinds_asked = now, kinds_known = true;
  }
  return kinds_list;
}

// --list-for MS: the whole list (GetLogicalDrives and the kinds) kept for MS.
std::vector<std::string> kept_fixed_drives() {
  const DWORD now = GetTickCount();
  if (!kinds_known || now - kinds_asked >= opt.list_for) {
    kinds_list = fixed_drives();
    kinds_asked = now, kinds_known = true;
  }
  return kinds_list;
}

uint64_t measure(bool free_space) {
  auto query = [&](const char *root, uint64_t *bytes) {
    ULARGE_INTEGER total = {}, free = {};
    if (!disk_free_space_ex(root, nullptr, free_space ? nullptr : &total, free_space ? &free : nullptr)) return false;
    *bytes = free_space ? free.QuadPart : total.QuadPart;
    return true;
  };
  uint64_t sum = 0, bytes = 0;
  if (opt.drive == "all") {
    const std::vector<std::string> roots = !opt.drivetype         ? fixed_at_start
                                           : opt.drivetype_once   ? tick_list
                                           : opt.kinds_for >= 0   ? cached_fixed_drives()
                                           : opt.list_for > 0 && !opt.all_letters ? kept_fixed_drives()
                                                                  : fixed_drives();
    for (const std::string &root : roots)
      if (query(root.c_str(), &bytes)) sum += bytes;
    return sum;
  }
  return query(opt.drive.c_str(), &bytes) ? bytes : 0;
}

// --one-query: both figures of every drive from one GetDiskFreeSpaceExA each.
void measure_both(uint64_t *free_sum, uint64_t *total_sum) {
  auto query = [&](const char *root) {
    ULARGE_INTEGER total = {}, free = {};
    if (!disk_free_space_ex(root, nullptr, &total, &free)) return;
    *free_sum += free.QuadPart, *total_sum += total.QuadPart;
  };
  *free_sum = *total_sum = 0;
  if (opt.drive != "all") return query(opt.drive.c_str());
  const std::vector<std::string> roots = !opt.drivetype         ? fixed_at_start
                                         : opt.drivetype_once   ? tick_list
                                         : opt.kinds_for >= 0   ? cached_fixed_drives()
                                         : opt.list_for > 0 && !opt.all_letters ? kept_fixed_drives()
                                                                : fixed_drives();
  for (const std::string &root : roots) query(root.c_str());
}

uint64_t free_memory() {
  if (memory_status_ex) {
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    if (memory_status_ex(&status)) return status.ullAvailPhys;
  }
  MEMORYSTATUS status = {};
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  return status.dwAvailPhys;
}

// A control's text as the bar reads it: its length (WM_GETTEXTLENGTH), then the text
// (WM_GETTEXT) into a buffer of that size.
std::string window_text(HWND control) {
  const int length = GetWindowTextLengthA(control);
  if (length <= 0) return std::string();
  std::vector<char> buffer(length + 1);
  const int copied = GetWindowTextA(control, buffer.data(), length + 1);
  return std::string(buffer.data(), copied > 0 ? copied : 0);
}

// The bar's data exchange: every static's text compared, set only where it differs.
void exchange() {
  for (int i = 0; i < 10; ++i) {
    HWND control = GetDlgItem(panel, kStaticIds[i]);
    if (!control) continue;
    if (texts[i] != window_text(control)) {
      SetWindowTextA(control, texts[i].c_str());
      ++text_sets;
    }
  }
}

// count / 2^shift rounded to a whole number, ties to even, as "%.0f" prints it.
uint64_t rounded(uint64_t count, unsigned shift) {
  uint64_t q = count >> shift;
  const uint64_t rem = count & ((uint64_t{1} << shift) - 1), half = uint64_t{1} << (shift - 1);
  if (rem > half || (rem == half && (q & 1))) ++q;
  return q;
}

std::string bytes_text(uint64_t v, bool memory = false) {
  if (!opt.quiet_units) return std::to_string(v) + " Bytes";
  return memory ? std::to_string(rounded(v, 20)) + " MBytes" : std::to_string(rounded(v, 30)) + " GBytes";
}

void tick() {
  ++ticks;
  if (opt.drivetype_once && opt.drive == "all") tick_list = fixed_drives();
  const bool exchanging = opt.exchanges > 0;
  if (opt.one_query) measure_both(&last_free, &last_total);
  else last_free = measure(true);
  if (exchanging) texts[2] = bytes_text(last_free), exchange();
  if (!opt.one_query) last_total = measure(false);
  if (exchanging && opt.exchanges > 1) texts[3] = bytes_text(last_total), exchange();
  if (exchanging && opt.exchanges > 2) texts[6] = "Disable", exchange();
  last_memory = free_memory();
  if (exchanging && opt.exchanges > 3) texts[7] = bytes_text(last_memory, true), exchange();
  for (int n = 4; n < opt.exchanges; ++n) exchange();
  if (ticks == 1) text_sets = 0;  // the first tick sets the labels too: counted from the second
  for (int n = 0; n < opt.dlgitem_only; ++n)
    for (int id : kStaticIds) GetDlgItem(panel, id);
  for (int n = 0; n < opt.gettext_only; ++n)
    for (HWND h : statics) window_text(h);
}

LRESULT CALLBACK floor_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER) {
    if (wp == kTickTimer) tick();
    if (wp == kEndTimer) PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(h, msg, wp, lp);
}

int usage() {
  fprintf(stderr,
          "usage: floor [--drive all|C:\\] [--period MS] [--seconds S] [--idle] [--no-drivetype]\n"
          "             [--drivetype-once] [--all-letters] [--one-query] [--kinds]\n"
          "             [--exchange N] [--units bytes|quiet] [--dlgitem-only N] [--gettext-only N]\n");
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--drive" && has_value) {
      opt.drive = argv[++i];
    } else if (a == "--period" && has_value) {
      opt.period = (UINT)strtoul(argv[++i], nullptr, 10);
    } else if (a == "--seconds" && has_value) {
      opt.seconds = (UINT)strtoul(argv[++i], nullptr, 10);
    } else if (a == "--idle") {
      opt.idle = true;
    } else if (a == "--no-drivetype") {
      opt.drivetype = false;
    } else if (a == "--drivetype-once") {
      opt.drivetype_once = true;
    } else if (a == "--all-letters") {
      opt.all_letters = true;
    } else if (a == "--units" && has_value) {
      opt.quiet_units = std::string(argv[++i]) == "quiet";
    } else if (a == "--exchange" && has_value) {
      opt.exchanges = atoi(argv[++i]);
    } else if (a == "--kinds-for" && has_value) {
      opt.kinds_for = strtoll(argv[++i], nullptr, 10);
    } else if (a == "--list-for" && has_value) {
      opt.list_for = strtoll(argv[++i], nullptr, 10);
    } else if (a == "--dlgitem-only" && has_value) {
      opt.dlgitem_only = atoi(argv[++i]);
    } else if (a == "--gettext-only" && has_value) {
      opt.gettext_only = atoi(argv[++i]);
    } else if (a == "--one-query") {
      opt.one_query = true;
    } else if (a == "--kinds") {
      opt.kinds = true;
    } else {
      return usage();
    }
  }

  if (opt.kinds) {
    const DWORD present = GetLogicalDrives();
    unsigned fixed = 0;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
      if (!(present & (1u << (letter - 'A')))) continue;
      const char root[4] = {letter, ':', '\\', '\0'};
      const UINT kind = GetDriveTypeA(root);
      if (kind == DRIVE_FIXED) ++fixed;
      printf("kind %s %u ", root, kind);
    }
    printf("fixed %u\n", fixed);
    fflush(stdout);
    return 0;
  }

  HMODULE kernel = LoadLibraryA("KERNEL32");
  disk_free_space_ex = (GetDiskFreeSpaceExAFn)(void (*)())GetProcAddress(kernel, "GetDiskFreeSpaceExA");
  memory_status_ex = (GlobalMemoryStatusExFn)(void (*)())GetProcAddress(kernel, "GlobalMemoryStatusEx");
  if (!disk_free_space_ex) {
    printf("error no GetDiskFreeSpaceExA\n");
    return 1;
  }
  // What the bar would find: the resources library is absent here, so no call is made per tick.
  const bool resources = LoadLibraryA("RSRC32") != nullptr;
  fixed_at_start = fixed_drives();

  WNDCLASSA wc = {};
  wc.lpfnWndProc = floor_proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "VelkinFloor";
  RegisterClassA(&wc);
  HWND timer_window = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      wc.hInstance, nullptr);
  if (!timer_window) {
    printf("error no message-only window\n");
    return 1;
  }
  if (opt.exchanges > 0 || opt.dlgitem_only > 0 || opt.gettext_only > 0) {
    panel = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, 0, 0, 1024, 47, nullptr, nullptr,
                            wc.hInstance, nullptr);
    for (int i = 0; i < 10; ++i)
      statics[i] = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 14, panel,
                                   (HMENU)(INT_PTR)kStaticIds[i], wc.hInstance, nullptr);
    const char *labels[10] = {"Free", "Total", "", "", "Resources", "Memory", "", "", "Interval", "Drive"};
    for (int i = 0; i < 10; ++i) texts[i] = labels[i];
  }

  const DWORD start = GetTickCount();
  if (!opt.idle) SetTimer(timer_window, kTickTimer, opt.period, nullptr);
  SetTimer(timer_window, kEndTimer, opt.seconds * 1000, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  const double seconds = (GetTickCount() - start) / 1000.0;
  printf("ticks %llu seconds %.3f sets %llu free %llu total %llu memory %llu fixed %u memory_ex %d resources %d pid %lu\n",
         ticks, seconds, text_sets, (unsigned long long)last_free, (unsigned long long)last_total,
         (unsigned long long)last_memory, (unsigned)fixed_at_start.size(), memory_status_ex != nullptr,
         resources, GetCurrentProcessId());
  fflush(stdout);
  if (panel) DestroyWindow(panel);
  DestroyWindow(timer_window);
  return 0;
}
