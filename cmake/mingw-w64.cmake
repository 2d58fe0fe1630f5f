# Shared by the MinGW-w64 toolchain files, which set TOOLCHAIN_PREFIX and
# CMAKE_SYSTEM_PROCESSOR first. The tests run under Wine (set up in
# tests/CMakeLists.txt, only when they are built).
set(CMAKE_SYSTEM_NAME Windows)

# The POSIX thread model, because the tests need std::thread and GoogleTest
# std::mutex, which GCC 12 has only in that model. The program itself links
# no thread library either way: built without exceptions, it pulls in none
# of the runtime that locks, and the two models give the same program.
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
