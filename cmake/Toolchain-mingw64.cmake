# The same sources for x86-64, so that the code stays right for both pointer sizes.
set(PATCHER_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/Toolchain-mingw.cmake)
