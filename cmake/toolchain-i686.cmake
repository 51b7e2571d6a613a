# The 32-bit Windows build, the release build: i686 mingw-w64 with the win32 thread model.
# CMakeLists.txt builds it for the i486 (with its FPU), tuned for the Pentium; the flags here
# make the compiler's own checks of the toolchain use the same processor.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_C_FLAGS_INIT "-march=i486 -mtune=pentium")
set(CMAKE_CXX_FLAGS_INIT "-march=i486 -mtune=pentium")
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
