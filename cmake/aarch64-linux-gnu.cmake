# Cross build for 64-bit ARM Linux with Debian's aarch64-linux-gnu compilers
# and the arm64 libraries installed through multiarch:
#   cmake -S . -B build-arm -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
# The programs run on an ARM machine, or here under qemu-user (qemu-aarch64);
# scripts/test-arm.sh does both.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(KAPLO_ARM_TRIPLE aarch64-linux-gnu)
find_program(CMAKE_C_COMPILER NAMES ${KAPLO_ARM_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${KAPLO_ARM_TRIPLE}-g++ REQUIRED)

# Headers of the multiarch packages are in /usr/include, their libraries and
# CMake and pkg-config files under /usr/lib/aarch64-linux-gnu.
set(CMAKE_LIBRARY_ARCHITECTURE ${KAPLO_ARM_TRIPLE})
set(CMAKE_FIND_ROOT_PATH /usr/${KAPLO_ARM_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${KAPLO_ARM_TRIPLE}/pkgconfig:/usr/share/pkgconfig)

# Test discovery and CTest run the programs through qemu-user. They load the
# arm64 C library of multiarch (libc6:arm64, which the -dev packages bring),
# not the cross compiler's copy in /usr/aarch64-linux-gnu: with -L there, the
# two builds of glibc get mixed, and the first pthread_create never returns.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
