/* The personality layer: makes the program under test, as it is, meet one Windows.
 *
 * velkin-launch.exe loads this DLL (vpersona.dll) into the program before the program's first
 * instruction. On attach it reads the rows of tests/personality/personalities.txt that name the
 * chosen Windows and rebinds the program's own import slots, so that only the program's calls are
 * touched:
 *   GetVersionExA        answers the personality's version;
 *   GetProcAddress       finds nothing for an export the version lacks, a stub for one it has
 *                        only as a stub, the stand-in's function in a stand-in module;
 *   LoadLibraryA         finds no module the version lacks, and gives this DLL as the stand-in
 *                        of a module the version ships (RSRC32);
 *   GetDiskFreeSpaceA    clamped where the version clamps it;
 *   ExitWindowsEx        asynchronous where the version is (it answers TRUE, then the end comes
 *                        or is refused);
 *   SetSystemPowerState  recorded, never carried out;
 *   GlobalMemoryStatus(Ex), the drive queries and LocalAlloc answer scripted figures when the
 *                        test scripts them.
 * On the 32-bit program it also rewrites KERNEL32's exports 35, 36 and 37 (the 16-bit services):
 * empty where the version lacks them, and otherwise forwarded here so that the calls are
 * recorded (and, scripted, answer as a 16-bit KERNEL may).
 * An image that imports statically what the version lacks is refused, as the loader would.
 *
 * The environment chooses and scripts (all optional but the first two):
 *   VELKIN_PERSONALITY        win95, win95osr2, win98, nt4, win2000, winxp or win10
 *   VELKIN_PERSONALITY_TABLE  the table's path (a Windows path)
 *   VELKIN_PERSONALITY_LOG    a file to which every recorded call is appended, one line each
 *   VELKIN_SCRIPT_RESOURCES   the stand-in RSRC32's percentage (default 73)
 *   VELKIN_SCRIPT_DISK        "TOTAL FREE" in bytes: every drive query answers these
 *   VELKIN_SCRIPT_MEMORY      the available physical memory in bytes
 *   VELKIN_SCRIPT_END         "refuse": another application refuses every session end
 *   VELKIN_SCRIPT_MOVEFILEEX  the error code of the MoveFileExA stub (default 120,
 *                             ERROR_CALL_NOT_IMPLEMENTED)
 *   VELKIN_SCRIPT_LOAD16      "fail": LoadLibrary16 fails with error 2 and an undefined high
 *                             word; "upper": it succeeds with an undefined high word
 * Setting the named event "VelkinPersonalityNoMemory" makes every later LocalAlloc of the
 * program fail, as when memory runs out.
 */
#undef WINVER
#undef _WIN32_WINNT
#define WINVER 0x0601
#define _WIN32_WINNT 0x0601
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include "layer.h"

#define MAX_ROWS 64

typedef struct {
  char kind[16];
  char subject[64];
  char value[64];
} Row;

static Row g_rows[MAX_ROWS];
static int g_rowCount;
static HMODULE g_self;
static HANDLE g_noMemory;
static char g_log[MAX_PATH];

/* ---- Reading the table */

static char* Trim(char* s) {
  while (*s == ' ' || *s == '\t') ++s;
  char* end = s + strlen(s);
  while (end > s && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r')) *--end = '\0';
  return s;
}

static BOOL NamesPersonality(char* names, const char* personality) {
  for (char* name = strtok(names, " \t"); name != NULL; name = strtok(NULL, " \t")) {
    if (strcmp(name, personality) == 0) return TRUE;
  }
  return FALSE;
}


/* Keeps the rows naming the personality. A malformed row ends the program: a table that says
 * something the layer does not understand must not pass for one that holds. */
static void ReadTable(const char* path, const char* personality) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    Record("personality: cannot open the table");
    ExitProcess(0xBAD1);
  }
  DWORD size = GetFileSize(file, NULL), read = 0;
  char* text = (char*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size + 1);
  ReadFile(file, text, size, &read, NULL);
  CloseHandle(file);
  BOOL known = FALSE;
  for (char* line = text; line != NULL && *line != '\0';) {
    char* next = strchr(line, '\n');
    if (next != NULL) *next++ = '\0';
    char* fields[5];
    int count = 0;
    char* rest = Trim(line);
    if (*rest != '#' && *rest != '\0') {
      for (char* p = rest; count < 5; ++count) {
        fields[count] = p;
        p = strchr(p, '|');
        if (p == NULL) { ++count; break; }
        *p++ = '\0';
      }
      if (count != 5 || g_rowCount == MAX_ROWS) {
        Record("personality: a malformed row in the table");
        ExitProcess(0xBAD2);
      }
      if (NamesPersonality(Trim(fields[0]), personality)) {
        Row* row = &g_rows[g_rowCount++];
        lstrcpynA(row->kind, Trim(fields[1]), sizeof row->kind);
        lstrcpynA(row->subject, Trim(fields[2]), sizeof row->subject);
        lstrcpynA(row->value, Trim(fields[3]), sizeof row->value);
        if (strcmp(row->kind, "version") == 0) known = TRUE;
      }
    }
    line = next;
  }
  HeapFree(GetProcessHeap(), 0, text);
  if (!known) {
    Record("personality: no version row for this personality");
    ExitProcess(0xBAD3);
  }
}

static const Row* FindRow(const char* kind, const char* subject) {
  for (int i = 0; i < g_rowCount; ++i) {
    if (strcmp(g_rows[i].kind, kind) == 0 && (subject == NULL || lstrcmpiA(g_rows[i].subject, subject) == 0))
      return &g_rows[i];
  }
  return NULL;
}

/* "KERNEL32" for "C:\windows\system32\kernel32.dll", "RSRC32" for "RSRC32" or "rsrc32.dll". */
static void BaseName(const char* path, char* out, size_t size) {
  const char* start = path;
  for (const char* p = path; *p != '\0'; ++p)
    if (*p == '\\' || *p == '/') start = p + 1;
  lstrcpynA(out, start, (int)size);
  char* dot = strrchr(out, '.');
  if (dot != NULL) *dot = '\0';
}

void LayerBaseName(const char* path, char* out, size_t size) { BaseName(path, out, size); }

static void ModuleName(HMODULE module, char* out, size_t size) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(module, path, sizeof path);
  BaseName(path, out, size);
}

static const Row* FindExportRow(const char* kind, const char* module, const char* function) {
  char subject[128];
  lstrcpynA(subject, module, 64);
  lstrcatA(subject, "!");
  lstrcatA(subject, function);
  return FindRow(kind, subject);
}

/* An environment variable's value, or null; read from the process's environment block. */
const char* Env(const char* name) {
  static char values[8][512];
  static int next;
  char* value = values[next++ % 8];
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof values[0]);
  return length > 0 && length < sizeof values[0] ? value : NULL;
}

static DWORD ScriptNumber(const char* name, DWORD fallback) {
  const char* text = Env(name);
  return text != NULL && *text != '\0' ? (DWORD)strtoul(text, NULL, 0) : fallback;
}

static BOOL ScriptIs(const char* name, const char* value) {
  const char* text = Env(name);
  return text != NULL && strcmp(text, value) == 0;
}

/* ---- The record of calls */

void Record(const char* text) {
  if (g_log[0] == '\0') return;
  HANDLE file = CreateFileA(g_log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text, (DWORD)strlen(text), &written, NULL);
  WriteFile(file, "\r\n", 2, &written, NULL);
  CloseHandle(file);
}

/* ---- The functions the program meets instead of the system's */

static BOOL(WINAPI* RealGetVersionExA)(LPOSVERSIONINFOA);
static FARPROC(WINAPI* RealGetProcAddress)(HMODULE, LPCSTR);
static HMODULE(WINAPI* RealLoadLibraryA)(LPCSTR);
static BOOL(WINAPI* RealGetDiskFreeSpaceA)(LPCSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD);
static BOOL(WINAPI* RealGetDiskFreeSpaceExA)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
static BOOL(WINAPI* RealExitWindowsEx)(UINT, DWORD);
static void(WINAPI* RealGlobalMemoryStatus)(LPMEMORYSTATUS);
static BOOL(WINAPI* RealGlobalMemoryStatusEx)(LPMEMORYSTATUSEX);
static HLOCAL(WINAPI* RealLocalAlloc)(UINT, SIZE_T);

static BOOL WINAPI OwnGetVersionExA(LPOSVERSIONINFOA info) {
  const Row* row = FindRow("version", NULL);
  if (info == NULL || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) &&
                       info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA))) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  DWORD major = 0, minor = 0, build = 0;
  char* end = NULL;
  major = strtoul(row->subject, &end, 10);
  if (*end == '.') minor = strtoul(end + 1, &end, 10);
  if (*end == '.') build = strtoul(end + 1, &end, 10);
  const BOOL nt = strncmp(row->value, "nt", 2) == 0;
  const DWORD size = info->dwOSVersionInfoSize;
  memset(info, 0, size);
  info->dwOSVersionInfoSize = size;
  info->dwMajorVersion = major;
  info->dwMinorVersion = minor;
  /* Windows 9x keeps the major and minor version in the build number's high word. */
  info->dwBuildNumber = nt ? build : (major << 24) | (minor << 16) | build;
  info->dwPlatformId = nt ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS;
  const char* csd = row->value + 2;
  while (*csd == ' ') ++csd;
  if (strcmp(csd, "-") != 0) lstrcpynA(info->szCSDVersion, csd, sizeof info->szCSDVersion);
  if (size == sizeof(OSVERSIONINFOEXA) && nt) ((LPOSVERSIONINFOEXA)info)->wProductType = VER_NT_WORKSTATION;
  return TRUE;
}

/* Stubs of Windows 9x: they take their arguments off the stack and fail. */
#define STUB(bytes, ...)                                                           \
  static BOOL WINAPI Stub##bytes(__VA_ARGS__) {                                    \
    const DWORD error = ScriptNumber("VELKIN_SCRIPT_MOVEFILEEX", ERROR_CALL_NOT_IMPLEMENTED); \
    Record("stub called (" #bytes " bytes of arguments)");                         \
    SetLastError(error); /* last: recording sets it too */                         \
    return FALSE;                                                                  \
  }
STUB(4, DWORD_PTR a)
STUB(8, DWORD_PTR a, DWORD_PTR b)
STUB(12, DWORD_PTR a, DWORD_PTR b, DWORD_PTR c)
STUB(16, DWORD_PTR a, DWORD_PTR b, DWORD_PTR c, DWORD_PTR d)
STUB(20, DWORD_PTR a, DWORD_PTR b, DWORD_PTR c, DWORD_PTR d, DWORD_PTR e)
STUB(24, DWORD_PTR a, DWORD_PTR b, DWORD_PTR c, DWORD_PTR d, DWORD_PTR e, DWORD_PTR f)

static FARPROC StubOf(const char* bytes) {
  if (strcmp(bytes, "4") == 0) return (FARPROC)Stub4;
  if (strcmp(bytes, "8") == 0) return (FARPROC)Stub8;
  if (strcmp(bytes, "12") == 0) return (FARPROC)Stub12;
  if (strcmp(bytes, "16") == 0) return (FARPROC)Stub16;
  if (strcmp(bytes, "20") == 0) return (FARPROC)Stub20;
  if (strcmp(bytes, "24") == 0) return (FARPROC)Stub24;
  Record("personality: no stub of that many argument bytes");
  ExitProcess(0xBAD4);
}

static BOOL ScriptedDisk(ULONGLONG* total, ULONGLONG* free) {
  const char* text = Env("VELKIN_SCRIPT_DISK");
  if (text == NULL || *text == '\0') return FALSE;
  char* end = NULL;
  *total = strtoull(text, &end, 10);
  *free = strtoull(end, NULL, 10);
  return TRUE;
}

static BOOL WINAPI OwnGetDiskFreeSpaceA(LPCSTR root, LPDWORD spc, LPDWORD bps, LPDWORD freeClusters,
                                         LPDWORD totalClusters) {
  DWORD s = 0, b = 0, f = 0, t = 0;
  ULONGLONG total = 0, free = 0;
  if (ScriptedDisk(&total, &free)) {
    s = 8;
    b = 512;
    f = (DWORD)(free / 4096 > 0xFFFFFFFFull ? 0xFFFFFFFFull : free / 4096);
    t = (DWORD)(total / 4096 > 0xFFFFFFFFull ? 0xFFFFFFFFull : total / 4096);
  } else if (!RealGetDiskFreeSpaceA(root, &s, &b, &f, &t)) {
    return FALSE;
  }
  const Row* clamp = FindExportRow("clamp", "KERNEL32", "GetDiskFreeSpaceA");
  if (clamp != NULL && s != 0 && b != 0) {
    const DWORD most = (DWORD)(strtoull(clamp->value, NULL, 10) / ((ULONGLONG)s * b));
    if (f > most) f = most;
    if (t > most) t = most;
  }
  if (spc != NULL) *spc = s;
  if (bps != NULL) *bps = b;
  if (freeClusters != NULL) *freeClusters = f;
  if (totalClusters != NULL) *totalClusters = t;
  return TRUE;
}

static BOOL WINAPI OwnGetDiskFreeSpaceExA(LPCSTR root, PULARGE_INTEGER callerFree, PULARGE_INTEGER total,
                                           PULARGE_INTEGER free) {
  ULONGLONG t = 0, f = 0;
  if (!ScriptedDisk(&t, &f)) return RealGetDiskFreeSpaceExA(root, callerFree, total, free);
  if (callerFree != NULL) callerFree->QuadPart = f;
  if (total != NULL) total->QuadPart = t;
  if (free != NULL) free->QuadPart = f;
  return TRUE;
}

static void WINAPI OwnGlobalMemoryStatus(LPMEMORYSTATUS status) {
  RealGlobalMemoryStatus(status);
  const char* text = Env("VELKIN_SCRIPT_MEMORY");
  if (text != NULL && *text != '\0') status->dwAvailPhys = (SIZE_T)strtoull(text, NULL, 10);
}

static BOOL WINAPI OwnGlobalMemoryStatusEx(LPMEMORYSTATUSEX status) {
  if (!RealGlobalMemoryStatusEx(status)) return FALSE;
  const char* text = Env("VELKIN_SCRIPT_MEMORY");
  if (text != NULL && *text != '\0') status->ullAvailPhys = strtoull(text, NULL, 10);
  return TRUE;
}

static BOOL WINAPI OwnSetSystemPowerState(BOOL suspend, BOOL force) {
  char line[64];
  wsprintfA(line, "SetSystemPowerState %d %d", suspend ? 1 : 0, force ? 1 : 0);
  Record(line);
  return TRUE;
}

typedef struct {
  UINT flags;
  DWORD reserved;
} EndRequest;

static DWORD WINAPI EndLater(LPVOID parameter) {
  EndRequest request = *(EndRequest*)parameter;
  HeapFree(GetProcessHeap(), 0, parameter);
  Sleep(300);
  Record("ExitWindowsEx: the session ends now");
  RealExitWindowsEx(request.flags, request.reserved);
  return 0;
}

static BOOL WINAPI OwnExitWindowsEx(UINT flags, DWORD reserved) {
  char line[64];
  wsprintfA(line, "ExitWindowsEx 0x%08x %u", flags, (unsigned)reserved);
  Record(line);
  const BOOL refused = ScriptIs("VELKIN_SCRIPT_END", "refuse");
  if (FindExportRow("async", "USER32", "ExitWindowsEx") == NULL) {
    /* Windows 9x answers once the applications have been asked. */
    if (!refused) return RealExitWindowsEx(flags, reserved);
    Record("ExitWindowsEx: another application refused");
    return FALSE;
  }
  if (refused) {
    Record("ExitWindowsEx: another application refuses after the call answered");
    return TRUE;
  }
  EndRequest* request = (EndRequest*)HeapAlloc(GetProcessHeap(), 0, sizeof *request);
  request->flags = flags;
  request->reserved = reserved;
  HANDLE thread = CreateThread(NULL, 0, EndLater, request, 0, NULL);
  if (thread != NULL) CloseHandle(thread);
  return TRUE;
}

static HLOCAL WINAPI OwnLocalAlloc(UINT flags, SIZE_T size) {
  if (WaitForSingleObject(g_noMemory, 0) == WAIT_OBJECT_0) {
    Record("LocalAlloc: no memory");
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NULL;
  }
  return RealLocalAlloc(flags, size);
}

/* The stand-in RSRC32's function. */
__declspec(dllexport) LONG WINAPI StandInFreeSystemResources(DWORD which) {
  static BOOL recorded;
  if (!recorded) {  /* once: it is called on every refresh */
    char line[64];
    wsprintfA(line, "RSRC32 %u", (unsigned)which);
    Record(line);
    recorded = TRUE;
  }
  return (LONG)ScriptNumber("VELKIN_SCRIPT_RESOURCES", 73);
}

static HMODULE WINAPI OwnLoadLibraryA(LPCSTR name) {
  char base[64];
  if (name != NULL) {
    BaseName(name, base, sizeof base);
    if (FindRow("lacks", base) != NULL) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return NULL;
    }
    if (FindRow("module", base) != NULL) {
      char self[MAX_PATH];
      GetModuleFileNameA(g_self, self, sizeof self);
      return RealLoadLibraryA(self);  /* counted, so that FreeLibrary balances it */
    }
  }
  return RealLoadLibraryA(name);
}

static FARPROC LayerGetProcAddress(HMODULE module, LPCSTR name) {
  if (HIWORD((ULONG_PTR)name) == 0) return RealGetProcAddress(module, name);
  if (module == g_self) {
    /* The stand-in module's function, or this layer's own exports (the 16-bit services). */
    for (int i = 0; i < g_rowCount; ++i) {
      if (strcmp(g_rows[i].kind, "module") == 0 && strcmp(g_rows[i].value, name) == 0)
        return (FARPROC)StandInFreeSystemResources;
    }
    return RealGetProcAddress(module, name);
  }
  char base[64];
  ModuleName(module, base, sizeof base);
  if (FindExportRow("lacks", base, name) != NULL) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return NULL;
  }
  const Row* stub = FindExportRow("stub", base, name);
  if (stub != NULL) return StubOf(stub->value);
  FARPROC real = RealGetProcAddress(module, name);
  if (real == NULL || lstrcmpiA(base, "KERNEL32") != 0) return real;
  /* The system's own functions behind these were found when the layer came in. */
  if (strcmp(name, "GetDiskFreeSpaceExA") == 0) return (FARPROC)OwnGetDiskFreeSpaceExA;
  if (strcmp(name, "GlobalMemoryStatusEx") == 0) return (FARPROC)OwnGlobalMemoryStatusEx;
  if (strcmp(name, "SetSystemPowerState") == 0) return (FARPROC)OwnSetSystemPowerState;
  return real;
}

/* What the program's GetProcAddress answers; under VELKIN_FAIL or VELKIN_COUNT, through a
 * counting thunk (failure.c). */
static FARPROC WINAPI OwnGetProcAddress(HMODULE module, LPCSTR name) {
  FARPROC answer = LayerGetProcAddress(module, name);
  if (answer == NULL || HIWORD((ULONG_PTR)name) == 0 || !FailureActive()) return answer;
  char base[64];
  if (module == g_self) {
    /* The stand-in's function, or KERNEL32's 16-bit services forwarded here. */
    const Row* row = NULL;
    for (int i = 0; i < g_rowCount && row == NULL; ++i)
      if (strcmp(g_rows[i].kind, "module") == 0 && strcmp(g_rows[i].value, name) == 0) row = &g_rows[i];
    lstrcpynA(base, row != NULL ? row->subject : "KERNEL32", sizeof base);
  } else {
    ModuleName(module, base, sizeof base);
  }
  return (FARPROC)FailureWrapAnswer(base, name, (void*)answer);
}

/* ---- The 16-bit services of the 32-bit program */

#if !defined(_WIN64)
static DWORD(WINAPI* RealLoadLibrary16)(LPCSTR);
static void(WINAPI* RealFreeLibrary16)(DWORD);
static DWORD(WINAPI* RealGetProcAddress16)(DWORD, LPCSTR);
static DWORD g_handle16;  /* the module LoadLibrary16 gave */

/* A 16-bit handle in the low word; the high word is whatever the caller gets. */
__declspec(dllexport) DWORD WINAPI LoadLibrary16(LPCSTR name) {
  DWORD handle;
  if (ScriptIs("VELKIN_SCRIPT_LOAD16", "fail")) {
    handle = 0xBAD00002;  /* error 2, file not found */
  } else {
    handle = RealLoadLibrary16(name) & 0xFFFF;
    if (handle >= 32) g_handle16 = handle;
    if (ScriptIs("VELKIN_SCRIPT_LOAD16", "upper")) handle |= 0xBAD00000;
  }
  char line[128];
  wsprintfA(line, "LoadLibrary16 %s = 0x%08x", name, (unsigned)handle);
  Record(line);
  return handle;
}

/* A handle that no load gave (an error number, or one whose high word is not zero) reaching
 * the 16-bit KERNEL: it would fault. */
static DWORD CheckHandle16(DWORD handle, const char* function) {
  if (handle != g_handle16) {
    char line[128];
    wsprintfA(line, "%s given 0x%08x, no 16-bit handle: the program faults", function, (unsigned)handle);
    Record(line);
    ExitProcess(0xC0000005);
  }
  return handle;
}

__declspec(dllexport) void WINAPI FreeLibrary16(DWORD handle) {
  RealFreeLibrary16(CheckHandle16(handle, "FreeLibrary16"));
  Record("FreeLibrary16");
}

__declspec(dllexport) DWORD WINAPI GetProcAddress16(DWORD handle, LPCSTR name) {
  const DWORD address = RealGetProcAddress16(CheckHandle16(handle, "GetProcAddress16"), name);
  char line[128];
  wsprintfA(line, "GetProcAddress16 %s = 0x%08x", HIWORD((ULONG_PTR)name) != 0 ? name : "#", (unsigned)address);
  Record(line);
  return address;
}

/* Rewrites KERNEL32's exports 35 to 37: empty where the version lacks them; elsewhere the
 * forwarder text in KERNEL32's export directory (Wine forwards them to its 16-bit kernel) is
 * pointed here instead, so the program's own reading of the directory reaches the functions
 * above. */
static void RewriteSixteenBitExports(void) {
  static const char* const names[3] = {"LoadLibrary16", "FreeLibrary16", "GetProcAddress16"};
  BYTE* base = (BYTE*)GetModuleHandleA("KERNEL32");
  IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY* dir = &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  IMAGE_EXPORT_DIRECTORY* exports = (IMAGE_EXPORT_DIRECTORY*)(base + dir->VirtualAddress);
  DWORD* functions = (DWORD*)(base + exports->AddressOfFunctions);
  RealLoadLibrary16 = (void*)RealGetProcAddress((HMODULE)base, (LPCSTR)35);
  RealFreeLibrary16 = (void*)RealGetProcAddress((HMODULE)base, (LPCSTR)36);
  RealGetProcAddress16 = (void*)RealGetProcAddress((HMODULE)base, (LPCSTR)37);
  for (WORD ordinal = 35; ordinal <= 37; ++ordinal) {
    char subject[32];
    wsprintfA(subject, "KERNEL32!#%u", ordinal);
    DWORD* slot = &functions[ordinal - exports->Base];
    DWORD old = 0;
    if (FindRow("lacks", subject) != NULL) {
      VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
      *slot = 0;
      VirtualProtect(slot, sizeof *slot, old, &old);
      continue;
    }
    const DWORD rva = *slot;
    if (rva < dir->VirtualAddress || rva >= dir->VirtualAddress + dir->Size) continue;  /* code: left */
    char* text = (char*)(base + rva);
    char forwarder[64];
    wsprintfA(forwarder, "vpersona.%s", names[ordinal - 35]);
    if (strlen(forwarder) > strlen(text)) continue;
    VirtualProtect(text, strlen(text) + 1, PAGE_READWRITE, &old);
    lstrcpyA(text, forwarder);
    VirtualProtect(text, strlen(text) + 1, old, &old);
  }
}
#endif

/* ---- Rebinding the program's import slots */

typedef struct {
  const char* module;
  const char* name;
  void* own;
  void** real;
} Binding;

static const Binding g_bindings[] = {
    {"KERNEL32", "GetVersionExA", (void*)OwnGetVersionExA, (void**)&RealGetVersionExA},
    {"KERNEL32", "GetProcAddress", (void*)OwnGetProcAddress, (void**)&RealGetProcAddress},
    {"KERNEL32", "LoadLibraryA", (void*)OwnLoadLibraryA, (void**)&RealLoadLibraryA},
    {"KERNEL32", "GetDiskFreeSpaceA", (void*)OwnGetDiskFreeSpaceA, (void**)&RealGetDiskFreeSpaceA},
    {"KERNEL32", "GlobalMemoryStatus", (void*)OwnGlobalMemoryStatus, (void**)&RealGlobalMemoryStatus},
    {"KERNEL32", "SetSystemPowerState", (void*)OwnSetSystemPowerState, NULL},
    {"KERNEL32", "LocalAlloc", (void*)OwnLocalAlloc, (void**)&RealLocalAlloc},
    {"USER32", "ExitWindowsEx", (void*)OwnExitWindowsEx, (void**)&RealExitWindowsEx},
};

void LayerSetSlot(ULONG_PTR* slot, ULONG_PTR address) {
  DWORD old = 0;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
  *slot = address;
  VirtualProtect(slot, sizeof *slot, old, &old);
}

void LayerForEachImport(ImportVisitor visit) {
  BYTE* base = (BYTE*)GetModuleHandleA(NULL);
  IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY* dir = &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir->VirtualAddress == 0) return;
  for (IMAGE_IMPORT_DESCRIPTOR* d = (IMAGE_IMPORT_DESCRIPTOR*)(base + dir->VirtualAddress); d->Name != 0; ++d) {
    char module[64];
    BaseName((const char*)(base + d->Name), module, sizeof module);
    IMAGE_THUNK_DATA* names = (IMAGE_THUNK_DATA*)(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
    IMAGE_THUNK_DATA* slots = (IMAGE_THUNK_DATA*)(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      visit(module, (const char*)((IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData))->Name, &slots->u1.Function);
    }
  }
}

static void RebindSlot(const char* module, const char* name, ULONG_PTR* slot) {
  if (FindExportRow("lacks", module, name) != NULL) {
    char line[160];
    wsprintfA(line, "refused at load: the image imports %s!%s, which this Windows lacks", module, name);
    Record(line);
    ExitProcess(0xC0000139);  /* STATUS_ENTRYPOINT_NOT_FOUND */
  }
  for (size_t i = 0; i < sizeof g_bindings / sizeof g_bindings[0]; ++i) {
    if (lstrcmpiA(module, g_bindings[i].module) != 0 || strcmp(name, g_bindings[i].name) != 0) continue;
    if (g_bindings[i].real != NULL) *g_bindings[i].real = (void*)*slot;
    LayerSetSlot(slot, (ULONG_PTR)g_bindings[i].own);
  }
}

static void RebindImports(void) {
  LayerForEachImport(RebindSlot);
  /* What the program finds only at run time still needs the system's own. */
  HMODULE kernel = GetModuleHandleA("KERNEL32");
  if (RealGetProcAddress == NULL) RealGetProcAddress = GetProcAddress;
  if (RealLoadLibraryA == NULL) RealLoadLibraryA = LoadLibraryA;
  if (RealGlobalMemoryStatus == NULL) RealGlobalMemoryStatus = GlobalMemoryStatus;
  if (RealExitWindowsEx == NULL) RealExitWindowsEx = ExitWindowsEx;
  if (RealGetDiskFreeSpaceA == NULL) RealGetDiskFreeSpaceA = GetDiskFreeSpaceA;
  if (RealLocalAlloc == NULL) RealLocalAlloc = LocalAlloc;
  RealGetDiskFreeSpaceExA = (void*)GetProcAddress(kernel, "GetDiskFreeSpaceExA");
  RealGlobalMemoryStatusEx = (void*)GetProcAddress(kernel, "GlobalMemoryStatusEx");
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_DETACH) FailureEnd();
  if (reason != DLL_PROCESS_ATTACH || g_self != NULL) return TRUE;
  g_self = instance;
  const char* log = Env("VELKIN_PERSONALITY_LOG");
  if (log != NULL) lstrcpynA(g_log, log, sizeof g_log);
  const char* personality = Env("VELKIN_PERSONALITY");
  const char* table = Env("VELKIN_PERSONALITY_TABLE");
  if (personality == NULL || table == NULL) {
    Record("personality: VELKIN_PERSONALITY and VELKIN_PERSONALITY_TABLE must be set");
    ExitProcess(0xBAD0);
  }
  ReadTable(table, personality);
  g_noMemory = CreateEventA(NULL, TRUE, FALSE, "VelkinPersonalityNoMemory");
  RebindImports();
  FailureInstall();
#if !defined(_WIN64)
  RewriteSixteenBitExports();
#endif
  char line[96];
  wsprintfA(line, "personality %s in place", personality);
  Record(line);
  return TRUE;
}
