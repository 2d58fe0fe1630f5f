# Results must be bit-identical on every build: no contraction into fused
# multiply-add anywhere, and on 32-bit x86 SSE2 doubles instead of x87
# registers, whose wider intermediates round differently now and then.
# What is being built decides, not the processor CMake reports: on a Windows
# host that comes from PROCESSOR_ARCHITECTURE (x86 or AMD64), whatever the
# compiler targets.
include(CheckCXXSourceCompiles)
add_compile_options(-ffp-contract=off)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT CMAKE_CXX_COMPILER_FRONTEND_VARIANT STREQUAL "MSVC")
  check_cxx_source_compiles("#ifndef __i386__\n#error not 32-bit x86\n#endif\nint main() { return 0; }"
                            RATECALC_TARGET_IS_X86_32)
  if(RATECALC_TARGET_IS_X86_32)
    add_compile_options(-msse2 -mfpmath=sse)
  endif()
endif()
