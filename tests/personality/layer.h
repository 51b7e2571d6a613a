/* What the parts of the personality layer (vpersona.dll) share. */
#ifndef VELKIN_TESTS_PERSONALITY_LAYER_H
#define VELKIN_TESTS_PERSONALITY_LAYER_H

#include <windows.h>

/* personality.c */
void Record(const char* text);  /* a line to VELKIN_PERSONALITY_LOG, when set */
const char* Env(const char* name);  /* an environment variable's value, or null */
void LayerBaseName(const char* path, char* out, size_t size);  /* "KERNEL32" of "...\KERNEL32.dll" */
/* Calls visit for each import slot of the program that names its function (not by ordinal). */
typedef void (*ImportVisitor)(const char* module, const char* name, ULONG_PTR* slot);
void LayerForEachImport(ImportVisitor visit);
/* Points an import slot at another address. */
void LayerSetSlot(ULONG_PTR* slot, ULONG_PTR address);

/* failure.c: failure on demand and the count of calls (VELKIN_FAIL, VELKIN_COUNT) */
void FailureInstall(void);  /* after the personality's own rebinding */
BOOL FailureActive(void);
void* FailureWrapAnswer(const char* module, const char* function, void* address);
void FailureEnd(void);      /* the process ends: the counts written */

#endif
