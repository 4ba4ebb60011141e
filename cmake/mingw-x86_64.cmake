# Cross-compiles the library as the 64-bit Windows DLL with mingw-w64 and
# runs the programs it builds under 64-bit Wine:
#
#   cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(BRINDLE_MINGW_PREFIX x86_64-w64-mingw32)
# Wine's 64-bit loader, called directly: the wine command starts the 32-bit
# loader first, which needs a kernel or an emulator that runs i386 code.
set(BRINDLE_WINE_NAME wine64)
include(${CMAKE_CURRENT_LIST_DIR}/BrindleMingwToolchain.cmake)
