/* The wide kernel functions that the 32-bit program supplies itself (see win95_imports.c). */
#ifndef VELKIN_PLATFORM_WIN95_IMPORTS_H
#define VELKIN_PLATFORM_WIN95_IMPORTS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

HMODULE WINAPI velkin_GetModuleHandleW(LPCWSTR name);
HMODULE WINAPI velkin_LoadLibraryW(LPCWSTR name);
HANDLE WINAPI velkin_CreateSemaphoreW(LPSECURITY_ATTRIBUTES attributes, LONG initial,
                                      LONG maximum, LPCWSTR name);

#ifdef __cplusplus
}
#endif

#endif
