# The same program for 64-bit Windows. It is not released: it lets the
# Windows suites run under 64-bit Wine on hosts that cannot start 32-bit
# programs (test.sh picks it there).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
