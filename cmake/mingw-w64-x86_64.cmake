# Cross-build for 64-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The -posix compilers carry the C++ thread library (std::thread, std::mutex);
# the -win32 ones do not. Programs are linked statically, so Wine runs them
# without MinGW's runtime DLLs, and CTest runs them through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KAVO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KAVO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KAVO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KAVO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KAVO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(KAVO_WINE wine)
if(KAVO_WINE)
  # Through a wrapper that starts a program again when Wine ended it before
  # it wrote anything (run_under_wine.sh says why).
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/run_under_wine.sh ${KAVO_WINE})
endif()
