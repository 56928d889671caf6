# Cross build for 64-bit Windows with Debian's mingw-w64 (x86_64-w64-mingw32):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The programs link libgcc, libstdc++ and winpthread statically, so they run
# under Wine (or on Windows) without extra DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KAPLO_MINGW_TRIPLE x86_64-w64-mingw32)
# The POSIX-threads flavour of the compilers, so that std::thread and std::mutex exist.
find_program(CMAKE_C_COMPILER NAMES ${KAPLO_MINGW_TRIPLE}-gcc-posix ${KAPLO_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${KAPLO_MINGW_TRIPLE}-g++-posix ${KAPLO_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${KAPLO_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KAPLO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
