# The body of the mingw-w64 toolchain files (mingw-i686.cmake,
# mingw-x86_64.cmake), which set BRINDLE_MINGW_PREFIX and BRINDLE_WINE_NAME
# (the name of Wine's loader for their target) and include it.
#
# The -posix compilers are used: with the win32 thread model GCC has no
# std::thread or std::mutex.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${BRINDLE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRINDLE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${BRINDLE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BRINDLE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs each program under Wine's loader for this target through
# cmake/wine-run.sh, which keeps Wine's background services off ctest's
# output pipe. Debian keeps the loaders in /usr/lib/wine.
find_program(BRINDLE_WINE_LOADER ${BRINDLE_WINE_NAME} PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(BRINDLE_WINE_LOADER ${BRINDLE_WINE_NAME})
if(BRINDLE_WINE_LOADER)
  set(CMAKE_CROSSCOMPILING_EMULATOR sh ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${BRINDLE_WINE_LOADER})
endif()
