/* Windows 95 exports only the ANSI forms of a few kernel functions whose wide forms the
 * runtime libraries import (libgcc's thread support, msvcrt's locale and random helpers). An
 * image that imports a function its system does not export does not load at all, so the 32-bit
 * program supplies those imports itself: each converts its name to the ANSI code page and calls
 * the ANSI form, which every Windows has. The runtime passes only ASCII names here.
 *
 * The linker takes these import pointers from this object instead of from the import library. */
#include "platform/win95_imports.h"

/* A wide name in the ANSI code page; NULL when there is none or it does not fit. */
static const char* narrow_name(LPCWSTR wide, char* buffer, int size) {
  if (wide == NULL) return NULL;
  if (WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, size, NULL, NULL) == 0) return NULL;
  return buffer;
}

HMODULE WINAPI velkin_GetModuleHandleW(LPCWSTR name) {
  char buffer[MAX_PATH];
  const char* ansi = narrow_name(name, buffer, (int)sizeof buffer);
  if (name != NULL && ansi == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  return GetModuleHandleA(ansi);
}

HMODULE WINAPI velkin_LoadLibraryW(LPCWSTR name) {
  char buffer[MAX_PATH];
  const char* ansi = narrow_name(name, buffer, (int)sizeof buffer);
  if (ansi == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  return LoadLibraryA(ansi);
}

HANDLE WINAPI velkin_CreateSemaphoreW(LPSECURITY_ATTRIBUTES attributes, LONG initial,
                                             LONG maximum, LPCWSTR name) {
  char buffer[MAX_PATH];
  const char* ansi = narrow_name(name, buffer, (int)sizeof buffer);
  if (name != NULL && ansi == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  return CreateSemaphoreA(attributes, initial, maximum, ansi);
}

#if !defined(_WIN64)
HMODULE(WINAPI* velkin_imp_GetModuleHandleW)(LPCWSTR) __asm__("__imp__GetModuleHandleW@4") =
    velkin_GetModuleHandleW;
HMODULE(WINAPI* velkin_imp_LoadLibraryW)(LPCWSTR) __asm__("__imp__LoadLibraryW@4") =
    velkin_LoadLibraryW;
HANDLE(WINAPI* velkin_imp_CreateSemaphoreW)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR) __asm__(
    "__imp__CreateSemaphoreW@16") = velkin_CreateSemaphoreW;

#endif
