# Cross-building the Windows program on Linux with Debian's MinGW-w64 (g++-mingw-w64-x86-64).
# The .exe is linked statically so that it is one file that runs on a bare Windows, and
# programs built here (the unit tests, the UI test driver) run under Wine through
# wine-run.sh, each build folder with a Wine prefix of its own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAMLO_MINGW_TRIPLE x86_64-w64-mingw32)
# The -posix thread model gives the C++ runtime std::thread and std::mutex (winpthreads,
# linked in statically); the -win32 model of GCC 12 has neither.
set(CMAKE_C_COMPILER ${TAMLO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAMLO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TAMLO_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAMLO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No libstdc++, libgcc or winpthread DLL beside the .exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# CMAKE_BINARY_DIR is the build folder here (the toolchain file is read by project()).
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wine/prefix)

# Release at -O2, not CMake's -O3: GCC 12 at -O3 reports a false -Wrestrict on
# `"X" + std::string` (GCC bug 105651), which -Werror turns into a failed build.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of the Release build")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of the Release build")
