# Cross-compiles the library as the 32-bit Windows DLL with mingw-w64 and
# runs the programs it builds under Wine:
#
#   cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(BRINDLE_MINGW_PREFIX i686-w64-mingw32)
# Wine's 32-bit loader, an i386 program.
set(BRINDLE_WINE_NAME wine)
include(${CMAKE_CURRENT_LIST_DIR}/BrindleMingwToolchain.cmake)
