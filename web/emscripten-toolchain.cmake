# Emscripten's own CMake platform, found beside whichever emcc is on the
# PATH (Debian's emscripten package or an emsdk), so that the web preset
# names no installation folder.
find_program(RATECALC_EMCC emcc REQUIRED)
get_filename_component(emcc_real "${RATECALC_EMCC}" REALPATH)
get_filename_component(emscripten_root "${emcc_real}" DIRECTORY)
set(platform_file "${emscripten_root}/cmake/Modules/Platform/Emscripten.cmake")
if(NOT EXISTS "${platform_file}")
  message(FATAL_ERROR "emcc at ${emcc_real} has no ${platform_file}: install emscripten "
                      "(Debian: apt-get install emscripten) or an emsdk and put its emcc on the PATH.")
endif()
include("${platform_file}")
