# Cross-building for s390x, a big-endian machine, on Debian, with the tests that need no terminal
# run under qemu-user:
#   cmake -B build-s390x -DCMAKE_TOOLCHAIN_FILE=cmake/s390x-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)

set(S390X_TRIPLET s390x-linux-gnu)
set(CMAKE_CXX_COMPILER ${S390X_TRIPLET}-g++)
# qemu finds the target's C and C++ libraries where Debian's cross packages put them.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-s390x -L /usr/${S390X_TRIPLET})

set(CMAKE_FIND_ROOT_PATH /usr/${S390X_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
