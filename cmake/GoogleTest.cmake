# GoogleTest as an installed package where there is one (the native build).
# No GoogleTest package exists for i686 Windows or for WebAssembly, so those
# builds compile it from its sources, which Debian ships in
# /usr/src/googletest; another source folder can be given in
# GOOGLETEST_SOURCE_DIR.
find_package(GTest QUIET)
if(NOT GTest_FOUND)
  set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources, built when no package is found")
  if(NOT EXISTS ${GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest not found: install it (Debian: googletest), set "
                        "GOOGLETEST_SOURCE_DIR to its sources, or configure with -DBUILD_TESTING=OFF")
  endif()
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Its warnings are its maintainers' affair, whatever our presets say of ours.
  set_target_properties(gtest gtest_main PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
endif()
