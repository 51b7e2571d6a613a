// The program's own runtime, in the 32-bit release image and in the 64-bit image.
//
// Neither image links a C or C++ runtime library. The compilers' 32-bit libraries are built for a
// Pentium Pro (CMOV, FCOMI) and pull in printf, exceptions and thread support the program never
// uses, while the program must run on a 486 and stay small; the 64-bit C runtime's start-up
// code wrote through a null pointer when one of its first allocations failed. This file gives
// the little the program needs instead, compiled with the program:
//   - the entry point, which runs the static constructors, WinMain and the exit functions;
//   - the heap behind new and delete (the process heap), which ends the program with a box;
//   - (in release_memory.cpp) the memory and string functions the compiler calls;
//   - the few library routines the standard containers name (all of them fatal: the program is
//     built without exceptions, and they can only be reached by a programming error or when
//     memory runs out). Only KERNEL32 and USER32 functions that Windows 95 exports are used.
#include <windows.h>

#include <cstddef>
#include <new>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);

namespace {

const char kNoMemory[] = "メモリが足りないため、Velkinを終了します。";

// Set by the first Fatal: one met while the first is under way ends the process at once.
volatile bool g_fatalUnderWay = false;

DWORD WINAPI ShowFatalBox(LPVOID what) {
  MessageBoxA(nullptr, static_cast<const char*>(what), "Velkin", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
  return 0;
}

// The program cannot go on: say so and end (the texts other than running out of memory name
// programming errors). Nothing has been written half-way by then (every save goes through a
// new file first), so nothing on disk is lost. Nothing is saved either: the state may be half
// assigned. The box has a thread of its own, and this thread waits on it without taking any
// message, so neither the refresh timer nor the end of the session reaches the panel meanwhile
// (a box's own loop would deliver them: a second failure would stack a second box, a session
// end would save that half-assigned state). Without a thread for it, the program ends unsaid.
[[noreturn]] void Fatal(const char* what) {
  if (g_fatalUnderWay) ExitProcess(3);
  g_fatalUnderWay = true;
  DWORD threadId = 0;  // Windows 95 wants somewhere to put it
  HANDLE box = CreateThread(nullptr, 0, ShowFatalBox, const_cast<char*>(what), 0, &threadId);
  if (box != nullptr) WaitForSingleObject(box, INFINITE);
  ExitProcess(3);
}

// The exit functions registered by the program (destructors of static objects), run in reverse
// order at the end. The program registers a handful; more than fit would be a programming error.
using ExitFunction = void (*)();
ExitFunction g_exitFunctions[32];
int g_exitCount = 0;

void RunExitFunctions() {
  while (g_exitCount > 0) g_exitFunctions[--g_exitCount]();
}

// Fixed blocks of the process's heap.
void* Allocate(std::size_t size) {
  void* block = LocalAlloc(LMEM_FIXED, size != 0 ? size : 1);
  if (block == nullptr) Fatal(kNoMemory);
  return block;
}

void Release(void* block) {
  if (block != nullptr) LocalFree(block);
}

// The command line after the program's name, as the C runtime gives it to WinMain.
LPSTR CommandTail() {
  char* p = GetCommandLineA();
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

}  // namespace

// The static constructor and destructor lists the linker builds: a -1 word, the entries, a 0.
extern "C" ExitFunction __CTOR_LIST__[];

extern "C" int atexit(ExitFunction function) {
  if (g_exitCount == static_cast<int>(sizeof g_exitFunctions / sizeof g_exitFunctions[0])) return -1;
  g_exitFunctions[g_exitCount++] = function;
  return 0;
}

extern "C" __attribute__((force_align_arg_pointer, noreturn)) void WinMainCRTStartup() {
  // Constructors run last entry first, as the compiler's own start-up runs them.
  int count = 0;
  while (__CTOR_LIST__[count + 1] != nullptr) ++count;
  for (int i = count; i >= 1; --i) __CTOR_LIST__[i]();

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
  const int code = WinMain(GetModuleHandleA(nullptr), nullptr, CommandTail(), show);
  RunExitFunctions();
  ExitProcess(static_cast<UINT>(code));
}

// ---- The heap.

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }

extern "C" void abort() { Fatal("Velkin: internal error."); }

extern "C" void __cxa_pure_virtual() { Fatal("Velkin: pure virtual call."); }

// ---- What the standard containers call when asked for the impossible.

namespace std {
void __throw_bad_alloc() { Fatal(kNoMemory); }
void __throw_bad_array_new_length() { Fatal(kNoMemory); }
void __throw_length_error(const char*) { Fatal("Velkin: length error."); }
void __throw_logic_error(const char*) { Fatal("Velkin: logic error."); }
void __throw_out_of_range(const char*) { Fatal("Velkin: out of range."); }
void __throw_out_of_range_fmt(const char*, ...) { Fatal("Velkin: out of range."); }
}  // namespace std
