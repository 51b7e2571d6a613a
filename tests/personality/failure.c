/* Failure on demand, and the count of the program's calls: part of the personality layer
 * (vpersona.dll), on top of what personality.c rebinds.
 *
 * When VELKIN_FAIL or VELKIN_COUNT is set, every import slot of the program (each function it
 * imports by name) is pointed at a small thunk of machine code made here, and so is every address
 * the program's GetProcAddress answers. The thunk counts the call and either goes on to what the
 * slot held before (the system's function, or the layer's own where personality.c rebound it) or
 * fails the call the way the function fails: it returns the failure value of
 * tests/personality/failures.txt and sets that row's last error, without calling the function.
 * Neither set, nothing changes.
 *
 *   VELKIN_FAIL=DLL!Function:N    the Nth call of that function fails, the others go through
 *   VELKIN_FAIL=DLL!Function:N+   the Nth and every later call fails (the resource is exhausted)
 *   VELKIN_FAILURE_TABLE          failures.txt's path (a Windows path); by default the file of
 *                                 that name beside VELKIN_PERSONALITY_TABLE
 *   VELKIN_COUNT=FILE             when the process ends, FILE gets one line "DLL!Function N" per
 *                                 function the program can call through a thunk, N its calls
 * A failed call is recorded ("failure: DLL!Function call N failed") in VELKIN_PERSONALITY_LOG.
 *
 * The thunk (x64; the registers of the arguments kept across the count):
 *     push rcx, rdx, r8, r9; sub rsp, 0x68; xmm0..xmm3 to [rsp+0x20..]
 *     mov ecx, INDEX; mov rax, Decide; call rax
 *     xmm0..xmm3 back; add rsp, 0x68; pop r9, r8, rdx, rcx
 *     test eax, eax; jnz fail; mov rax, REAL; jmp rax
 *   fail: mov rax, VALUE; ret
 * (x86, stdcall: push INDEX; mov eax, Decide; call eax; test eax, eax; jnz fail;
 *  mov eax, REAL; jmp eax; fail: mov eax, VALUE; ret BYTES, BYTES the function's argument bytes.)
 * The pass path leaves by a jump, so while the function runs (and calls the program back) no
 * frame of the thunk is on the stack.
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
  volatile LONG calls;
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

static char g_target[96];
static LONG g_failFrom;
static BOOL g_exhaust;
static ULONG_PTR g_failValue;
static DWORD g_failError;
static DWORD g_argumentBytes;

static void Refuse(const char* text, UINT code) {
  Record(text);
  ExitProcess(code);
}

/* ---- The table of failures */

typedef struct {
  const char* name;
  DWORD code;
} ErrorName;

static const ErrorName kErrors[] = {
    {"ERROR_FILE_NOT_FOUND", 2},         {"ERROR_PATH_NOT_FOUND", 3},
    {"ERROR_TOO_MANY_OPEN_FILES", 4},    {"ERROR_ACCESS_DENIED", 5},
    {"ERROR_INVALID_HANDLE", 6},         {"ERROR_NOT_ENOUGH_MEMORY", 8},
    {"ERROR_OUTOFMEMORY", 14},           {"ERROR_WRITE_FAULT", 29},
    {"ERROR_READ_FAULT", 30},            {"ERROR_SHARING_VIOLATION", 32},
    {"ERROR_HANDLE_DISK_FULL", 39},      {"ERROR_INVALID_PARAMETER", 87},
    {"ERROR_DISK_FULL", 112},            {"ERROR_CALL_NOT_IMPLEMENTED", 120},
    {"ERROR_INSUFFICIENT_BUFFER", 122},  {"ERROR_MOD_NOT_FOUND", 126},
    {"ERROR_PROC_NOT_FOUND", 127},       {"ERROR_ALREADY_EXISTS", 183},
    {"ERROR_NOT_ALL_ASSIGNED", 1300},    {"ERROR_NO_SUCH_PRIVILEGE", 1313},
    {"ERROR_PRIVILEGE_NOT_HELD", 1314},  {"ERROR_INVALID_WINDOW_HANDLE", 1400},
    {"ERROR_INVALID_MENU_HANDLE", 1401}, {"ERROR_CLASS_ALREADY_EXISTS", 1410},
    {"ERROR_TIMEOUT", 1460},             {"ERROR_NO_SYSTEM_RESOURCES", 1450},
    {"ERROR_NONPAGED_SYSTEM_RESOURCES", 1451}, {"ERROR_NOT_ENOUGH_QUOTA", 1816},
    {"ERROR_INVALID_FLAGS", 1004},       {"ERROR_RESOURCE_NAME_NOT_FOUND", 1814},
    {"ERROR_RESOURCE_TYPE_NOT_FOUND", 1813}, {"ERROR_NOT_READY", 21},
    {"ERROR_CLASS_DOES_NOT_EXIST", 1411},  {"ERROR_NO_UNICODE_TRANSLATION", 1113},
    {"ERROR_INVALID_ADDRESS", 487},        {"ERROR_NO_MORE_ITEMS", 259},
};

static BOOL ParseError(const char* text, DWORD* code) {
  if (*text >= '0' && *text <= '9') {
    char* end = NULL;
    *code = strtoul(text, &end, 0);
    return *end == '\0';
  }
  for (size_t i = 0; i < sizeof kErrors / sizeof kErrors[0]; ++i) {
    if (strcmp(kErrors[i].name, text) == 0) {
      *code = kErrors[i].code;
      return TRUE;
    }
  }
  return FALSE;
}

static BOOL ParseValue(const char* text, ULONG_PTR* value) {
  if (strcmp(text, "0") == 0 || strcmp(text, "FALSE") == 0 || strcmp(text, "null") == 0) {
    *value = 0;
    return TRUE;
  }
  if (strcmp(text, "-1") == 0 || strcmp(text, "INVALID_HANDLE_VALUE") == 0) {
    *value = (ULONG_PTR)-1;
    return TRUE;
  }
  char* end = NULL;
  const long long number = strtoll(text, &end, 0);
  *value = (ULONG_PTR)number;
  return *text != '\0' && *end == '\0';
}

static char* Trim(char* s) {
  while (*s == ' ' || *s == '\t') ++s;
  char* end = s + strlen(s);
  while (end > s && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r')) *--end = '\0';
  return s;
}

/* Finds the target's row: DLL!Function | return | last error | argument bytes | source. */
static void ReadFailure(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) Refuse("failure: cannot open the table of failures", 0xBAD5);
  const DWORD size = GetFileSize(file, NULL);
  DWORD read = 0;
  char* text = (char*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size + 1);
  ReadFile(file, text, size, &read, NULL);
  CloseHandle(file);
  BOOL found = FALSE;
  for (char* line = text; line != NULL && *line != '\0' && !found;) {
    char* next = strchr(line, '\n');
    if (next != NULL) *next++ = '\0';
    char* rest = Trim(line);
    if (*rest != '#' && *rest != '\0') {
      char* fields[5];
      int count = 0;
      for (char* p = rest; count < 5; ++count) {
        fields[count] = p;
        p = strchr(p, '|');
        if (p == NULL) { ++count; break; }
        *p++ = '\0';
      }
      if (count != 5) Refuse("failure: a malformed row in the table of failures", 0xBAD6);
      if (lstrcmpiA(Trim(fields[0]), g_target) == 0) {
        found = TRUE;
        const char* value = Trim(fields[1]);
        if (strcmp(value, "never") == 0) Refuse("failure: the table says this function never fails", 0xBAD7);
        char* end = NULL;
        const char* bytes = Trim(fields[3]);
#if defined(_WIN64)
        if (strcmp(bytes, "-") == 0) bytes = "0";  /* a function only the 64-bit image has */
#endif
        g_argumentBytes = strtoul(bytes, &end, 10);
        if (!ParseValue(value, &g_failValue) || !ParseError(Trim(fields[2]), &g_failError) || *bytes == '\0' ||
            *end != '\0')
          Refuse("failure: the target's row does not parse", 0xBAD6);
      }
    }
    line = next;
  }
  HeapFree(GetProcessHeap(), 0, text);
  if (!found) Refuse("failure: no row for the function VELKIN_FAIL names", 0xBAD8);
}

/* "KERNEL32!CreateFileA:3" or "KERNEL32!CreateFileA:3+". */
static void ParseTarget(const char* text) {
  const char* colon = strrchr(text, ':');
  if (colon == NULL || colon == text || (size_t)(colon - text) >= sizeof g_target || strchr(text, '!') == NULL)
    Refuse("failure: VELKIN_FAIL is not DLL!Function:N or DLL!Function:N+", 0xBAD9);
  memcpy(g_target, text, colon - text);
  g_target[colon - text] = '\0';
  char* end = NULL;
  g_failFrom = (LONG)strtol(colon + 1, &end, 10);
  g_exhaust = *end == '+';
  if (g_exhaust) ++end;
  if (g_failFrom < 1 || *end != '\0') Refuse("failure: VELKIN_FAIL's call number is not 1 or more", 0xBAD9);
}

/* ---- The thunks */

/* Counts a call; nonzero when this one fails (its last error already set). */
static int __stdcall Decide(DWORD index) {
  Counted* counted = &g_names[g_wrapped[index].counted];
  const LONG call = InterlockedIncrement(&counted->calls);
  if (!counted->target || !(call == g_failFrom || (g_exhaust && call > g_failFrom))) return 0;
  char line[160];
  wsprintfA(line, "failure: %s call %ld failed", counted->name, (long)call);
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
  const ULONG_PTR value = target ? g_failValue : 0;
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
    ParseTarget(fail);
    char table[MAX_PATH];
    const char* named = Env("VELKIN_FAILURE_TABLE");
    if (named != NULL) {
      lstrcpynA(table, named, sizeof table);
    } else {
      const char* personalities = Env("VELKIN_PERSONALITY_TABLE");
      lstrcpynA(table, personalities != NULL ? personalities : "", sizeof table - 16);
      char* slash = strrchr(table, '\\');
      lstrcpyA(slash != NULL ? slash + 1 : table, "failures.txt");
    }
    ReadFailure(table);
  }
  g_code = (BYTE*)VirtualAlloc(NULL, CODE_BYTES, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
  if (g_code == NULL) Refuse("failure: no memory for the thunks", 0xBADA);
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
    const int length = wsprintfA(line, "%s %ld\r\n", g_names[i].name, (long)g_names[i].calls);
    DWORD written = 0;
    WriteFile(file, line, (DWORD)length, &written, NULL);
  }
  CloseHandle(file);
}
