# The engine for 32-bit x86 Linux with the released program's floating-point
# flags, run under qemu's user-mode emulator. On a host that cannot start
# 32-bit programs, this is what shows that i686 code computes the same bits
# as the native build (test.sh picks it there).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
# The host's GoogleTest is 64-bit: build it from its sources instead.
set(CMAKE_DISABLE_FIND_PACKAGE_GTest ON)
set(CMAKE_DISABLE_FIND_PACKAGE_benchmark ON)
find_program(QEMU_I386 qemu-i386-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU_I386})
