# The program players get: x86, for 32- and 64-bit Windows from XP SP3 on.
set(PATCHER_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/Toolchain-mingw.cmake)
