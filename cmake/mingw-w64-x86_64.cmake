# Cross build for 64-bit Windows with Debian's mingw-w64 toolchain (POSIX-threads variant, so that
# std::thread and std::mutex are there), linked statically so ferrox.exe needs no DLL of the
# toolchain. Test programs run under Wine (wine64) when it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(FERROX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${FERROX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FERROX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${FERROX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${FERROX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(FERROX_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(FERROX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${FERROX_WINE})
endif()
# Test cases are listed when ctest runs, under Wine, not while building.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
