// The memory and string functions of both Windows images, which link no C runtime: the
// compiler calls them for copies, fills and comparisons, and the standard strings use them.
// The file is compiled so that these loops stay loops (no builtins, no loop-to-call rewriting).
// The native tests build it under other names (VELKIN_RUNTIME_NAME) to check it beside the C
// library's own.
#include <cstddef>

#ifndef VELKIN_RUNTIME_NAME
#define VELKIN_RUNTIME_NAME(name) name
#endif

extern "C" {

void* VELKIN_RUNTIME_NAME(memcpy)(void* to, const void* from, std::size_t size) {
  unsigned char* d = static_cast<unsigned char*>(to);
  const unsigned char* s = static_cast<const unsigned char*>(from);
  while (size-- != 0) *d++ = *s++;
  return to;
}

void* VELKIN_RUNTIME_NAME(memmove)(void* to, const void* from, std::size_t size) {
  unsigned char* d = static_cast<unsigned char*>(to);
  const unsigned char* s = static_cast<const unsigned char*>(from);
  if (d < s) {
    while (size-- != 0) *d++ = *s++;
  } else {
    while (size-- != 0) d[size] = s[size];
  }
  return to;
}

void* VELKIN_RUNTIME_NAME(memset)(void* to, int value, std::size_t size) {
  unsigned char* d = static_cast<unsigned char*>(to);
  while (size-- != 0) *d++ = static_cast<unsigned char>(value);
  return to;
}

int VELKIN_RUNTIME_NAME(memcmp)(const void* a, const void* b, std::size_t size) {
  const unsigned char* x = static_cast<const unsigned char*>(a);
  const unsigned char* y = static_cast<const unsigned char*>(b);
  for (; size != 0; --size, ++x, ++y) {
    if (*x != *y) return *x < *y ? -1 : 1;
  }
  return 0;
}

void* VELKIN_RUNTIME_NAME(memchr)(const void* block, int value, std::size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(block);
  for (; size != 0; --size, ++p) {
    if (*p == static_cast<unsigned char>(value)) return const_cast<unsigned char*>(p);
  }
  return nullptr;
}

std::size_t VELKIN_RUNTIME_NAME(strlen)(const char* text) {
  const char* p = text;
  while (*p != '\0') ++p;
  return static_cast<std::size_t>(p - text);
}

int VELKIN_RUNTIME_NAME(strcmp)(const char* a, const char* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
  while (*x != 0 && *x == *y) ++x, ++y;
  return *x == *y ? 0 : (*x < *y ? -1 : 1);
}

}  // extern "C"
