/* Failure on demand, and the count of the program's calls: part of the personality layer
 * (vpersona.dll), on top of what personality.c rebinds.
 *
 * When VELKIN_FAIL or VELKIN_COUNT is set, every import slot of the program that names a
 * function, and every address its GetProcAddress answers, points at a thunk made here. The thunk
 * counts the call and either jumps on to what the slot held (the system's function, or the
 * layer's own) or fails the call as the function fails: it returns the failure value and sets
 * the last error, without calling the function.
 *
 *   VELKIN_FAIL="DLL!Function:N[+][@] VALUE ERROR BYTES"  the Nth call fails (with +, every
 *       later one too: the resource is exhausted), answering VALUE with last error ERROR (none
 *       when 0) and, in a 32-bit process, taking BYTES of arguments off the stack. With @, only the
 *       calls made while the first byte of the shared memory "VelkinSweepMark" is 1 count (set
 *       by whoever drives the program: 1 from a mark, 2 from its end). tools/sweep.py takes
 *       these from failures.txt.
 *   VELKIN_COUNT=FILE  when the process ends, one line "DLL!Function CALLS CALLS-MARKED"
 *       per function reached through a thunk.
 * A failed call is recorded ("failure: DLL!Function call N failed") in VELKIN_PERSONALITY_LOG.
 *
 * The thunk (x64; the argument registers kept across the count):
 *     push rcx, rdx, r8, r9; sub rsp, 0x68; xmm0..xmm3 to [rsp+0x20..]
 *     mov ecx, INDEX; mov rax, Decide; call rax; registers back
 *     test eax, eax; jnz fail; mov rax, REAL; jmp rax
 *   fail: mov rax, VALUE; ret
 * (x86, stdcall: push INDEX; mov eax, Decide; call eax; test eax, eax; jnz fail;
 *  mov eax, REAL; jmp eax; fail: mov eax, VALUE; ret BYTES.)
 * The pass path leaves by a jump: while the function runs no frame of the thunk is on the stack.
 */
#undef WINVER
#undef _WIN32_WINNT
#define WINVER 0x0601
#define _WIN32_WINNT 0x0601
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include "layer.h"

#define MAX_WRAPPED 640
#define MAX_NAMES 512
#define CODE_BYTES (MAX_WRAPPED * 128)

typedef struct {
  char name[96];  /* DLL!Function */
  volatile LONG calls, sinceMark;
  BOOL target;    /* the function VELKIN_FAIL names */
} Counted;

typedef struct {
  int counted;    /* its entry in g_names: one function may be reached by several addresses */
  void* real;
  BYTE* thunk;
} Wrapped;

static Counted g_names[MAX_NAMES];
static int g_nameCount;
static Wrapped g_wrapped[MAX_WRAPPED];
static int g_wrappedCount;
static BYTE* g_code;
static SIZE_T g_codeUsed;
static CRITICAL_SECTION g_lock;
static BOOL g_active;
static char g_countFile[MAX_PATH];
static volatile BYTE* g_mark;

static char g_target[96];
static long g_failFrom;
static BOOL g_exhaust, g_fromMark;
static long long g_failValue;
static unsigned long g_failError, g_argumentBytes;

/* Counts a call; nonzero when this one fails (its last error already set). */
static int __stdcall Decide(DWORD index) {
  Counted* counted = &g_names[g_wrapped[index].counted];
  const LONG call = InterlockedIncrement(&counted->calls);
  const LONG since = g_mark != NULL && *g_mark == 1 ? InterlockedIncrement(&counted->sinceMark) : 0;
  const LONG n = g_fromMark ? since : call;
  if (!counted->target || n < g_failFrom || (n > g_failFrom && !g_exhaust)) return 0;
  char line[160];
  wsprintfA(line, "failure: %s call %ld failed", counted->name, (long)n);
  Record(line);
  if (g_failError != 0) SetLastError(g_failError);
  return 1;
}

static void Put(BYTE** p, const void* bytes, size_t size) {
  memcpy(*p, bytes, size);
  *p += size;
}
#define PUT(p, ...)                                   \
  do {                                                \
    static const BYTE code[] = {__VA_ARGS__};         \
    Put(p, code, sizeof code);                        \
  } while (0)

static BYTE* MakeThunk(DWORD index, void* real, BOOL target) {
  BYTE* start = g_code + g_codeUsed;
  BYTE* p = start;
  const ULONG_PTR decide = (ULONG_PTR)Decide, to = (ULONG_PTR)real;
  const ULONG_PTR value = target ? (ULONG_PTR)g_failValue : 0;
#if defined(_WIN64)
  PUT(&p, 0x51, 0x52, 0x41, 0x50, 0x41, 0x51);  /* push rcx; push rdx; push r8; push r9 */
  PUT(&p, 0x48, 0x83, 0xEC, 0x68);              /* sub rsp, 0x68 */
  PUT(&p, 0xF3, 0x0F, 0x7F, 0x44, 0x24, 0x20,   /* movdqu [rsp+0x20], xmm0 */
      0xF3, 0x0F, 0x7F, 0x4C, 0x24, 0x30,       /* movdqu [rsp+0x30], xmm1 */
      0xF3, 0x0F, 0x7F, 0x54, 0x24, 0x40,       /* movdqu [rsp+0x40], xmm2 */
      0xF3, 0x0F, 0x7F, 0x5C, 0x24, 0x50);      /* movdqu [rsp+0x50], xmm3 */
  PUT(&p, 0xB9);                                /* mov ecx, index */
  Put(&p, &index, 4);
  PUT(&p, 0x48, 0xB8);                          /* mov rax, Decide */
  Put(&p, &decide, 8);
  PUT(&p, 0xFF, 0xD0);                          /* call rax */
  PUT(&p, 0xF3, 0x0F, 0x6F, 0x44, 0x24, 0x20,   /* movdqu xmm0, [rsp+0x20] */
      0xF3, 0x0F, 0x6F, 0x4C, 0x24, 0x30,
      0xF3, 0x0F, 0x6F, 0x54, 0x24, 0x40,
      0xF3, 0x0F, 0x6F, 0x5C, 0x24, 0x50);
  PUT(&p, 0x48, 0x83, 0xC4, 0x68);              /* add rsp, 0x68 */
  PUT(&p, 0x41, 0x59, 0x41, 0x58, 0x5A, 0x59);  /* pop r9; pop r8; pop rdx; pop rcx */
  PUT(&p, 0x85, 0xC0, 0x75, 0x0C);              /* test eax, eax; jnz fail (+12) */
  PUT(&p, 0x48, 0xB8);                          /* mov rax, real */
  Put(&p, &to, 8);
  PUT(&p, 0xFF, 0xE0);                          /* jmp rax */
  PUT(&p, 0x48, 0xB8);                          /* fail: mov rax, value */
  Put(&p, &value, 8);
  PUT(&p, 0xC3);                                /* ret */
#else
  const WORD bytes = (WORD)(target ? g_argumentBytes : 0);
  PUT(&p, 0x68);                                /* push index */
  Put(&p, &index, 4);
  PUT(&p, 0xB8);                                /* mov eax, Decide */
  Put(&p, &decide, 4);
  PUT(&p, 0xFF, 0xD0);                          /* call eax (stdcall: it takes the index off) */
  PUT(&p, 0x85, 0xC0, 0x75, 0x07);              /* test eax, eax; jnz fail (+7) */
  PUT(&p, 0xB8);                                /* mov eax, real */
  Put(&p, &to, 4);
  PUT(&p, 0xFF, 0xE0);                          /* jmp eax */
  PUT(&p, 0xB8);                                /* fail: mov eax, value */
  Put(&p, &value, 4);
  PUT(&p, 0xC2);                                /* ret bytes */
  Put(&p, &bytes, 2);
#endif
  g_codeUsed += (SIZE_T)((p - start + 15) & ~15);
  FlushInstructionCache(GetCurrentProcess(), start, (SIZE_T)(p - start));
  return start;
}

/* The thunk that stands for `real` as DLL!Function; `real` itself when no room is left. */
static void* Wrap(const char* module, const char* function, void* real) {
  char name[96];
  lstrcpynA(name, module, 32);
  CharUpperA(name);
  lstrcatA(name, "!");
  lstrcpynA(name + strlen(name), function, (int)(sizeof name - strlen(name)));
  EnterCriticalSection(&g_lock);
  void* answer = real;
  int counted = -1;
  for (int i = 0; i < g_nameCount; ++i)
    if (strcmp(g_names[i].name, name) == 0) counted = i;
  if (counted < 0 && g_nameCount < MAX_NAMES) {
    counted = g_nameCount++;
    lstrcpyA(g_names[counted].name, name);
    g_names[counted].target = lstrcmpiA(name, g_target) == 0;
  }
  int found = -1;
  for (int i = 0; i < g_wrappedCount; ++i)
    if (g_wrapped[i].counted == counted && g_wrapped[i].real == real) found = i;
  if (found >= 0) {
    answer = g_wrapped[found].thunk;
  } else if (counted >= 0 && g_wrappedCount < MAX_WRAPPED && g_codeUsed + 128 <= CODE_BYTES) {
    Wrapped* w = &g_wrapped[g_wrappedCount];
    w->counted = counted;
    w->real = real;
    w->thunk = MakeThunk((DWORD)g_wrappedCount, real, g_names[counted].target);
    ++g_wrappedCount;
    answer = w->thunk;
  } else {
    Record("failure: no room for another thunk; a function left uncounted");
  }
  LeaveCriticalSection(&g_lock);
  return answer;
}

BOOL FailureActive(void) { return g_active; }

void* FailureWrapAnswer(const char* module, const char* function, void* address) {
  return g_active && address != NULL ? Wrap(module, function, address) : address;
}

/* Puts a thunk in an import slot; a variable imported (the C runtime's _fmode, __initenv ...) is
 * no function to wrap. */
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
  if (fail != NULL && *fail != '\0') {
    const char* colon = strchr(fail, ':');
    char* p = (char*)"";
    if (colon != NULL && (size_t)(colon - fail) < sizeof g_target) {
      memcpy(g_target, fail, colon - fail);
      g_failFrom = strtol(colon + 1, &p, 10);
      for (; *p == '+' || *p == '@'; ++p) *(*p == '+' ? &g_exhaust : &g_fromMark) = TRUE;
      g_failValue = strtoll(p, &p, 0);
      g_failError = strtoul(p, &p, 0);
      g_argumentBytes = strtoul(p, &p, 0);
    }
    if (g_target[0] == '\0' || g_failFrom < 1 || *p != '\0') {
      Record("failure: VELKIN_FAIL is not \"DLL!Function:N[+][@] VALUE ERROR BYTES\"");
      ExitProcess(0xBAD9);
    }
  }
  HANDLE mark = OpenFileMappingA(FILE_MAP_READ, FALSE, "VelkinSweepMark");
  if (mark != NULL) g_mark = (volatile BYTE*)MapViewOfFile(mark, FILE_MAP_READ, 0, 0, 1);
  g_code = (BYTE*)VirtualAlloc(NULL, CODE_BYTES, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
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
  if (!g_active || g_countFile[0] == '\0') return;
  HANDLE file = CreateFileA(g_countFile, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  for (int i = 0; i < g_nameCount; ++i) {
    char line[160];
    const int length = wsprintfA(line, "%s %ld %ld\r\n", g_names[i].name, (long)g_names[i].calls,
                                 (long)g_names[i].sinceMark);
    DWORD written = 0;
    WriteFile(file, line, (DWORD)length, &written, NULL);
  }
  CloseHandle(file);
}
