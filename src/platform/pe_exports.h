// Finds a function a loaded module exports by number, read from its export directory. Windows
// 95's GetProcAddress refuses numbers for KERNEL32, whose 16-bit services have no names.
#ifndef VELKIN_PLATFORM_PE_EXPORTS_H
#define VELKIN_PLATFORM_PE_EXPORTS_H

#include <windows.h>

// The address of export number `ordinal` of `module`, or nullptr when it has none, or when the
// export only forwards to another module.
FARPROC ExportByOrdinal(HMODULE module, WORD ordinal);

#endif
