// Included before everything else in each C++ file of the 32-bit release image, and in each of
// the program's own files in the 64-bit build.
//
// The standard library declares its string classes as instantiated inside the library, so a
// program normally calls the library's copies, which are compiled for the Pentium Pro. Here
// those declarations are switched off, and every member the program uses is compiled with the
// program: for the 486, and in both images without the library (neither links one).
#ifndef VELKIN_RUNTIME_RELEASE_CONFIG_H
#define VELKIN_RUNTIME_RELEASE_CONFIG_H

#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0

#endif
