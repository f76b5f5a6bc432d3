# Cross-compiles a Windows build with Debian's mingw-w64; the including file
# (Toolchain-mingw32.cmake, Toolchain-mingw64.cmake) names the processor.
#
# The -posix compilers build everything, because GoogleTest needs std::mutex
# and the win32 thread model lacks it. The program itself starts no thread and
# is linked by the win32-thread-model driver (PATCHER_PROGRAM_LINKER), so that
# it carries no thread runtime: winpthreads imports functions that XP lacks.
# Everything is linked statically, so that the programs need no DLLs of ours.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${PATCHER_MINGW_PROCESSOR})
set(triple ${PATCHER_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(PATCHER_PROGRAM_LINKER ${CMAKE_CURRENT_LIST_DIR}/link-without-threads)
# Test programs run under Wine in the throwaway prefix that scripts/test makes.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
