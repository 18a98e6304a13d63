# Shared by the mingw-w64 toolchain files: include it after setting
# SORTERS_MINGW_TARGET to the target triple (i686-w64-mingw32 or
# x86_64-w64-mingw32).
set(CMAKE_SYSTEM_NAME Windows)

# The posix threading flavour of the compilers, else the win32 one, else
# whichever the distribution installed without a suffix.
find_program(SORTERS_MINGW_CC NAMES
  ${SORTERS_MINGW_TARGET}-gcc-posix ${SORTERS_MINGW_TARGET}-gcc-win32
  ${SORTERS_MINGW_TARGET}-gcc REQUIRED)
find_program(SORTERS_MINGW_CXX NAMES
  ${SORTERS_MINGW_TARGET}-g++-posix ${SORTERS_MINGW_TARGET}-g++-win32
  ${SORTERS_MINGW_TARGET}-g++ REQUIRED)
set(CMAKE_C_COMPILER ${SORTERS_MINGW_CC})
set(CMAKE_CXX_COMPILER ${SORTERS_MINGW_CXX})
set(CMAKE_RC_COMPILER ${SORTERS_MINGW_TARGET}-windres)

# Headers and libraries (zlib among them) come from the target's own tree,
# programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${SORTERS_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Each program is one file a user can copy: the C and C++ runtimes, the
# threading library and zlib are linked in, nothing needs a DLL beside it.
set(ZLIB_USE_STATIC_LIBS ON)
set(SORTERS_STATIC_EXPAT ON)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Built programs, the tests among them, run under wine on the build machine.
find_program(SORTERS_WINE NAMES wine)
if(SORTERS_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SORTERS_WINE})
endif()
