# Cross-builds the Windows programs on Debian with mingw-w64 (the posix
# thread model, for std::thread). Every program links libstdc++, libgcc and
# winpthread statically, so each .exe runs on a Windows machine with
# nothing installed. Tests run under Wine through the emulator script.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(FR_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${FR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${FR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${FR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs the .exe files through Wine, in a prefix of the build's own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
