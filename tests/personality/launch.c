/* velkin-launch.exe FOLDER PROGRAM: starts PROGRAM in FOLDER with the personality layer
 * (vpersona.dll, beside this launcher) loaded before the program's first instruction, and ends
 * with the program's process ID as its exit code (0 when it could not), leaving the program
 * running. Build it with the same bitness as the program.
 *
 * The program is started under the debugger API. A breakpoint replaces the first byte of its
 * entry point; when the loader has done its work and the breakpoint is reached, the byte is put
 * back, the main thread is held there, and a thread of the program's own loads the layer with
 * LoadLibraryA (at the loader's own first breakpoint that would deadlock: the loader lock is
 * held then). When that thread ends the main thread goes on and the launcher lets go of the
 * program. The program's environment is the launcher's, so the layer reads its choices there.
 */
#undef WINVER
#undef _WIN32_WINNT
#define WINVER 0x0601
#define _WIN32_WINNT 0x0601
#include <windows.h>

#include <stdio.h>
#include <string.h>

static int Fail(const char* what) {
  fprintf(stderr, "velkin-launch: %s (error %lu)\n", what, GetLastError());
  return 0;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: velkin-launch FOLDER PROGRAM\n");
    return 0;
  }
  char layer[MAX_PATH];
  GetModuleFileNameA(NULL, layer, sizeof layer);
  char* slash = strrchr(layer, '\\');
  strcpy(slash != NULL ? slash + 1 : layer, "vpersona.dll");

  char commandLine[MAX_PATH + 3];
  snprintf(commandLine, sizeof commandLine, "\"%s\"", argv[2]);
  STARTUPINFOA startup = {0};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {0};
  if (!CreateProcessA(argv[2], commandLine, NULL, NULL, FALSE, DEBUG_ONLY_THIS_PROCESS, NULL, argv[1], &startup,
                      &process))
    return Fail("CreateProcess");

  BYTE* entry = NULL;
  BYTE saved = 0;
  DWORD loaderThread = 0;
  for (;;) {
    DEBUG_EVENT event;
    if (!WaitForDebugEvent(&event, 30000)) {
      TerminateProcess(process.hProcess, 1);
      return Fail("no debug event within 30 s");
    }
    DWORD how = DBG_CONTINUE;
    BOOL done = FALSE;
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT: {
        entry = (BYTE*)event.u.CreateProcessInfo.lpStartAddress;
        const BYTE breakpoint = 0xCC;
        if (!ReadProcessMemory(process.hProcess, entry, &saved, 1, NULL) ||
            !WriteProcessMemory(process.hProcess, entry, &breakpoint, 1, NULL))
          return Fail("cannot set the breakpoint at the entry point");
        FlushInstructionCache(process.hProcess, entry, 1);
        if (event.u.CreateProcessInfo.hFile != NULL) CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      }
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile != NULL) CloseHandle(event.u.LoadDll.hFile);
        break;
      case EXCEPTION_DEBUG_EVENT: {
        const EXCEPTION_RECORD* record = &event.u.Exception.ExceptionRecord;
        if (record->ExceptionCode != EXCEPTION_BREAKPOINT) {
          how = DBG_EXCEPTION_NOT_HANDLED;
          break;
        }
        if ((BYTE*)record->ExceptionAddress != entry) break;  /* the loader's own breakpoint */
        WriteProcessMemory(process.hProcess, entry, &saved, 1, NULL);
        FlushInstructionCache(process.hProcess, entry, 1);
        CONTEXT context;
        memset(&context, 0, sizeof context);
        context.ContextFlags = CONTEXT_CONTROL;
        GetThreadContext(process.hThread, &context);
#if defined(_WIN64)
        context.Rip = (DWORD64)entry;
#else
        context.Eip = (DWORD)entry;
#endif
        SetThreadContext(process.hThread, &context);
        SuspendThread(process.hThread);
        void* name = VirtualAllocEx(process.hProcess, NULL, sizeof layer, MEM_COMMIT, PAGE_READWRITE);
        if (name == NULL || !WriteProcessMemory(process.hProcess, name, layer, strlen(layer) + 1, NULL))
          return Fail("cannot write the layer's name into the program");
        LPTHREAD_START_ROUTINE load =
            (LPTHREAD_START_ROUTINE)(void*)GetProcAddress(GetModuleHandleA("KERNEL32"), "LoadLibraryA");
        HANDLE thread = CreateRemoteThread(process.hProcess, NULL, 0, load, name, 0, &loaderThread);
        if (thread == NULL) return Fail("cannot start the loading thread");
        CloseHandle(thread);
        break;
      }
      case EXIT_THREAD_DEBUG_EVENT:
        done = event.dwThreadId == loaderThread;
        break;
      case EXIT_PROCESS_DEBUG_EVENT:
        fprintf(stderr, "velkin-launch: the program ended with code 0x%lx as it started\n",
                event.u.ExitProcess.dwExitCode);
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
        return 0;
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, how);
    if (done) break;
  }
  DebugSetProcessKillOnExit(FALSE);
  if (!DebugActiveProcessStop(process.dwProcessId)) return Fail("cannot let go of the program");
  ResumeThread(process.hThread);
  return (int)process.dwProcessId;
}
