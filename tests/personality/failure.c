/* Failure on demand, and the count of the program's calls: part of the personality layer
 * (vpersona.dll), on top of what personality.c rebinds.
 *
 * With VELKIN_FAIL or VELKIN_COUNT set, every import slot of the program that names a function,
 * and every address its GetProcAddress answers, points at a thunk made here. The thunk counts the
 * call, then jumps on to what the slot held (so no frame of it is on the stack while the function
 * runs), or fails the call as the function fails, without calling it.
 *   VELKIN_FAIL="DLL!Function:N[+][@] VALUE ERROR BYTES"  the Nth call (with +, every one from
 *       the Nth: the resource exhausted) answers VALUE, sets the last error ERROR (unless 0) and,
 *       in a 32-bit process, takes BYTES of arguments off the stack (tools/sweep.py takes them
 *       from failures.txt). With @, only the calls made while the first byte of the shared
 *       memory "VelkinSweepMark" is 1 count (the driver's mark; 2 ends it).
 *   VELKIN_COUNT=FILE  at the end, a line "DLL!Function CALLS CALLS-MARKED" per function.
 * A failed call is recorded in VELKIN_PERSONALITY_LOG: "failure: DLL!Function call N failed". */
#undef WINVER
#undef _WIN32_WINNT
#define WINVER 0x0601
#define _WIN32_WINNT 0x0601
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include "layer.h"

#define MAX_NAMES 512
#define MAX_WRAPPED 640
#define THUNK_BYTES 128

typedef struct {
  char name[96];  /* DLL!Function */
  volatile LONG calls, marked;
  BOOL target;    /* the function VELKIN_FAIL names */
} Counted;

static Counted g_names[MAX_NAMES];
static struct {
  int counted;    /* its g_names entry: one function may be reached by several addresses */
  void* real;
} g_wrapped[MAX_WRAPPED];
static int g_nameCount, g_wrappedCount;
static BYTE* g_code;
static CRITICAL_SECTION g_lock;
static BOOL g_active, g_exhaust, g_fromMark;
static char g_countFile[MAX_PATH], g_target[96];
static volatile BYTE* g_mark;
static long g_failFrom;
static long long g_failValue;
static unsigned long g_failError, g_argumentBytes;

/* Counts a call; nonzero when this one fails (its last error already set). */
static int __stdcall Decide(DWORD index) {
  Counted* c = &g_names[g_wrapped[index].counted];
  const LONG call = InterlockedIncrement(&c->calls);
  const LONG marked = g_mark != NULL && *g_mark == 1 ? InterlockedIncrement(&c->marked) : 0;
  const LONG n = g_fromMark ? marked : call;
  if (!c->target || n < g_failFrom || (n > g_failFrom && !g_exhaust)) return 0;
  char line[160];
  wsprintfA(line, "failure: %s call %ld failed", c->name, (long)n);
  Record(line);
  if (g_failError != 0) SetLastError(g_failError);
  return 1;
}

/* The thunk's code, with the places of its INDEX, Decide, REAL, VALUE (and BYTES) filled in. */
#if defined(_WIN64)
static const BYTE kThunk[] = {
    0x51, 0x52, 0x41, 0x50, 0x41, 0x51, 0x48, 0x83, 0xEC, 0x68,              /* push rcx..r9; sub rsp, 0x68 */
    0xF3, 0x0F, 0x7F, 0x44, 0x24, 0x20, 0xF3, 0x0F, 0x7F, 0x4C, 0x24, 0x30,  /* xmm0..xmm3 to [rsp+0x20..] */
    0xF3, 0x0F, 0x7F, 0x54, 0x24, 0x40, 0xF3, 0x0F, 0x7F, 0x5C, 0x24, 0x50,
    0xB9, 0, 0, 0, 0, 0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xD0,       /* mov ecx, INDEX; mov rax, Decide; call rax */
    0xF3, 0x0F, 0x6F, 0x44, 0x24, 0x20, 0xF3, 0x0F, 0x6F, 0x4C, 0x24, 0x30,  /* xmm0..xmm3 back */
    0xF3, 0x0F, 0x6F, 0x54, 0x24, 0x40, 0xF3, 0x0F, 0x6F, 0x5C, 0x24, 0x50,
    0x48, 0x83, 0xC4, 0x68, 0x41, 0x59, 0x41, 0x58, 0x5A, 0x59,              /* add rsp, 0x68; pop r9..rcx */
    0x85, 0xC0, 0x75, 0x0C, 0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xE0, /* test eax, eax; jnz fail; mov rax, REAL; jmp rax */
    0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0xC3};                              /* fail: mov rax, VALUE; ret */
enum { kIndexAt = 35, kDecideAt = 41, kRealAt = 91, kValueAt = 103, kBytesAt = 0 };
#else
static const BYTE kThunk[] = {
    0x68, 0, 0, 0, 0, 0xB8, 0, 0, 0, 0, 0xFF, 0xD0,  /* push INDEX; mov eax, Decide; call eax (stdcall) */
    0x85, 0xC0, 0x75, 0x07, 0xB8, 0, 0, 0, 0, 0xFF, 0xE0,  /* test eax, eax; jnz fail; mov eax, REAL; jmp eax */
    0xB8, 0, 0, 0, 0, 0xC2, 0, 0};                   /* fail: mov eax, VALUE; ret BYTES */
enum { kIndexAt = 1, kDecideAt = 6, kRealAt = 17, kValueAt = 24, kBytesAt = 29 };
#endif

/* The thunk that stands for `real` as DLL!Function; `real` itself when no room is left. */
static void* Wrap(const char* module, const char* function, void* real) {
  char name[96];
  wsprintfA(name, "%.31s!%.63s", module, function);
  CharUpperA(name);
  EnterCriticalSection(&g_lock);
  int counted = 0, index = 0;
  while (counted < g_nameCount && strcmp(g_names[counted].name, name) != 0) ++counted;
  while (index < g_wrappedCount && !(g_wrapped[index].counted == counted && g_wrapped[index].real == real)) ++index;
  BYTE* thunk = g_code + index * THUNK_BYTES;
  if (index == g_wrappedCount && counted < MAX_NAMES && index < MAX_WRAPPED) {
    if (counted == g_nameCount++) {
      lstrcpyA(g_names[counted].name, name);
      g_names[counted].target = lstrcmpiA(name, g_target) == 0;
    }
    const BOOL target = g_names[counted].target;
    const ULONG_PTR decide = (ULONG_PTR)Decide, value = target ? (ULONG_PTR)g_failValue : 0;
    const WORD bytes = (WORD)(target ? g_argumentBytes : 0);
    memcpy(thunk, kThunk, sizeof kThunk);
    memcpy(thunk + kIndexAt, &index, 4);
    memcpy(thunk + kDecideAt, &decide, sizeof decide);
    memcpy(thunk + kRealAt, &real, sizeof real);
    memcpy(thunk + kValueAt, &value, sizeof value);
    if (kBytesAt != 0) memcpy(thunk + kBytesAt, &bytes, 2);
    FlushInstructionCache(GetCurrentProcess(), thunk, sizeof kThunk);
    g_wrapped[g_wrappedCount].counted = counted;
    g_wrapped[g_wrappedCount++].real = real;
  } else if (index == g_wrappedCount) {
    Record("failure: no room for another thunk; a function left uncounted");
    thunk = real;
  }
  LeaveCriticalSection(&g_lock);
  return thunk;
}

BOOL FailureActive(void) { return g_active; }

void* FailureWrapAnswer(const char* module, const char* function, void* address) {
  return g_active && address != NULL ? Wrap(module, function, address) : address;
}

/* An imported variable (the C runtime's _fmode ...) is no function to wrap. */
static void WrapSlot(const char* module, const char* name, ULONG_PTR* slot) {
  MEMORY_BASIC_INFORMATION memory;
  const DWORD code = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  if (VirtualQuery((void*)*slot, &memory, sizeof memory) == 0 || !(memory.Protect & code)) return;
  LayerSetSlot(slot, (ULONG_PTR)Wrap(module, name, (void*)*slot));
}

void FailureInstall(void) {
  const char* fail = Env("VELKIN_FAIL");
  const char* count = Env("VELKIN_COUNT");
  if ((fail == NULL || *fail == '\0') && (count == NULL || *count == '\0')) return;
  if (count != NULL) lstrcpynA(g_countFile, count, sizeof g_countFile);
  const char* colon = fail != NULL ? strchr(fail, ':') : NULL;
  char* p = (char*)"";
  if (colon != NULL && (size_t)(colon - fail) < sizeof g_target) {
    memcpy(g_target, fail, colon - fail);
    g_failFrom = strtol(colon + 1, &p, 10);
    for (; *p == '+' || *p == '@'; ++p) *(*p == '+' ? &g_exhaust : &g_fromMark) = TRUE;
    g_failValue = strtoll(p, &p, 0);
    g_failError = strtoul(p, &p, 0);
    g_argumentBytes = strtoul(p, &p, 0);
  }
  if (fail != NULL && *fail != '\0' && (g_target[0] == '\0' || g_failFrom < 1 || *p != '\0')) {
    Record("failure: VELKIN_FAIL is not \"DLL!Function:N[+][@] VALUE ERROR BYTES\"");
    ExitProcess(0xBAD9);
  }
  HANDLE mark = OpenFileMappingA(FILE_MAP_READ, FALSE, "VelkinSweepMark");
  if (mark != NULL) g_mark = (volatile BYTE*)MapViewOfFile(mark, FILE_MAP_READ, 0, 0, 1);
  g_code = (BYTE*)VirtualAlloc(NULL, MAX_WRAPPED * THUNK_BYTES, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
  if (g_code == NULL) {
    Record("failure: no memory for the thunks");
    ExitProcess(0xBADA);
  }
  InitializeCriticalSection(&g_lock);
  g_active = TRUE;
  LayerForEachImport(WrapSlot);
  char line[160];
  wsprintfA(line, "failure: %d functions wrapped%s%s", g_nameCount, g_target[0] ? ", failing " : "", g_target);
  Record(line);
}

/* The counts, when the process ends. */
void FailureEnd(void) {
  HANDLE file = g_active && g_countFile[0] ? CreateFileA(g_countFile, GENERIC_WRITE, FILE_SHARE_READ, NULL,
                                                           CREATE_ALWAYS, 0, NULL) : INVALID_HANDLE_VALUE;
  for (int i = 0; file != INVALID_HANDLE_VALUE && i < g_nameCount; ++i) {
    char line[160];
    DWORD written = 0;
    WriteFile(file, line, wsprintfA(line, "%s %ld %ld\r\n", g_names[i].name, g_names[i].calls, g_names[i].marked),
              &written, NULL);
  }
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}
