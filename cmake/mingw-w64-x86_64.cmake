# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, which std::mutex and std::thread need).
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TIRS_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TIRS_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TIRS_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TIRS_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${TIRS_MINGW_PREFIX}-objdump)

# Libraries and headers come from the mingw tree only, never from the host's
# /usr/include (glibc's headers would clash); programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TIRS_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built here run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
