# Cross-compiles the library as the 32-bit Windows DLL with mingw-w64 and
# runs the programs it builds under Wine:
#
#   cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
#
# The -posix compilers are used: with the win32 thread model GCC has no
# std::thread or std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(BRINDLE_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${BRINDLE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRINDLE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${BRINDLE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BRINDLE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs each program under Wine through cmake/wine-run.sh, which keeps
# Wine's background services off ctest's output pipe.
find_program(BRINDLE_WINE wine)
if(BRINDLE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR sh ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
endif()
