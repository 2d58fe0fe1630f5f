# The Linux program is built as Debian builds its packages, with the
# distribution's hardening flags: fortified string and memory functions
# (which need optimisation), the stack protector, a position-independent
# program, and full RELRO with immediate binding. They come from
# dpkg-buildflags with every hardening feature on, read from the source
# folder so that its path maps to "." in the debugging information; where
# there is no dpkg-buildflags, the same set written out.
option(RATECALC_HARDEN "Build the Linux program with the distribution's hardening flags" ON)
if(NOT RATECALC_HARDEN)
  return()
endif()

find_program(DPKG_BUILDFLAGS_EXECUTABLE dpkg-buildflags)
if(DPKG_BUILDFLAGS_EXECUTABLE)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${DPKG_BUILDFLAGS_EXECUTABLE} --get ${kind}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(hardening_${kind} UNIX_COMMAND "${flags}")
  endforeach()
else()
  set(hardening_CPPFLAGS -D_FORTIFY_SOURCE=2)
  set(hardening_CXXFLAGS -O2 -fstack-protector-strong -fstack-clash-protection -Wformat
                         -Werror=format-security)
  set(hardening_LDFLAGS -Wl,-z,relro)
endif()
# Immediate binding whatever the distribution's defaults.
list(APPEND hardening_LDFLAGS -Wl,-z,now)
# For the product's own code (ratecalc_product); the tests are built as
# they always are.
set(RATECALC_HARDENING_COMPILE_FLAGS ${hardening_CPPFLAGS} ${hardening_CXXFLAGS})
set(RATECALC_HARDENING_LINK_FLAGS ${hardening_LDFLAGS})

include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
