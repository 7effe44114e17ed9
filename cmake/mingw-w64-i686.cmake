# Cross-builds Pelorix for 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686-posix):
# the VB6 compiler is a 32-bit program, and a 32-bit Pelorix sees the registry's 32-bit view as
# the compiler does. Programs built here run under Wine through CMAKE_CROSSCOMPILING_EMULATOR.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(PELORIX_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${PELORIX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELORIX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PELORIX_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PELORIX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs carry the MinGW runtime, so that they start in any prefix without its DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
