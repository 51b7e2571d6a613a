// Finds a function a loaded module exports by number, read from its export directory. Windows
// 95's GetProcAddress refuses numbers for KERNEL32, whose 16-bit services have no names.
#ifndef VELKIN_SYSTEM_PE_EXPORTS_H
#define VELKIN_SYSTEM_PE_EXPORTS_H

#include <windows.h>

// The address of export number `ordinal` of `module`, or nullptr when it has none. An export
// that forwards to another module ("KRNL386.EXE16.LoadLibrary16", "NTDLL.#12") is followed the
// way the loader follows it: the module named before the last dot (".dll" added to a name
// without an extension), loaded if it is not yet, then the function by name or by number.
// Windows 95's KERNEL32 exports its 16-bit services as code; 32-bit Wine's forwards them to its
// 16-bit kernel.
FARPROC ExportByOrdinal(HMODULE module, WORD ordinal);

#endif
