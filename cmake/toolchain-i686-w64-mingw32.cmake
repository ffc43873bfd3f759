# Cross-builds for 32-bit Windows with the MinGW-w64 posix-thread compiler; programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(QE_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${QE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages (such as an installed QuennelEngine) may live outside the MinGW root.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# ctest and the run targets start every program through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
