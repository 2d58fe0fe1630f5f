# The release a user downloads: KOVRateCalc-<version>-win32.zip with the
# program, its help file, the user's README (from docs/README.txt.in) and the
# licence, all at the top, and SHA256SUMS beside it. `cmake --install` puts
# the same four files into a folder.

# A release without its help file would leave F1 with nothing to open.
if(NOT TARGET help_file)
  add_custom_target(
    package
    COMMAND ${CMAKE_COMMAND} -E echo "The release zip is not made without the help file: no help "
            "compiler (chmcmd) was on the PATH when this build was configured. Install it "
            "(Debian: apt-get install fp-utils) and configure again."
    COMMAND ${CMAKE_COMMAND} -E false
    VERBATIM)
  return()
endif()

set(RELEASE_FILES $<TARGET_FILE:KOVRateCalc> $<TARGET_PROPERTY:help_file,HELP_FILE>
                  ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt)
# The page, the same calculator in one HTML file for a browser, beside the
# program: built with Emscripten as the web preset builds it, for size
# (every byte of the one file is read before the calculator starts), in a
# build folder of its own. Without emcc the zip is made without it.
find_program(RATECALC_EMCC emcc)
if(RATECALC_EMCC)
  set(web_build ${PROJECT_BINARY_DIR}/web-page)
  file(GLOB_RECURSE web_sources CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/engine/* ${PROJECT_SOURCE_DIR}/settings/* ${PROJECT_SOURCE_DIR}/window/*
       ${PROJECT_SOURCE_DIR}/web/* ${PROJECT_SOURCE_DIR}/docs/help/*)
  set(web_env ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
  add_custom_command(
    OUTPUT ${web_build}/KOVRateCalc.html
    COMMAND ${web_env} ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR} -B ${web_build} -G ${CMAKE_GENERATOR}
            -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/web/emscripten-toolchain.cmake
            -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF
    COMMAND ${web_env} ${CMAKE_COMMAND} --build ${web_build} --target web_page
    DEPENDS ${web_sources} ${PROJECT_SOURCE_DIR}/ui/resources/about.bmp
            ${PROJECT_SOURCE_DIR}/ui/resources/icon-48.png
    COMMENT "Building the page with Emscripten"
    VERBATIM)
  list(APPEND RELEASE_FILES ${web_build}/KOVRateCalc.html)
else()
  message(WARNING "No emcc on the PATH: the release zip is made without the page "
                  "KOVRateCalc.html (Debian: apt-get install emscripten).")
endif()
install(FILES ${RELEASE_FILES} DESTINATION .)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(RATECALC_RELEASE_ZIP_NAME KOVRateCalc-${PROJECT_VERSION}-win64.zip)
else()
  set(RATECALC_RELEASE_ZIP_NAME KOVRateCalc-${PROJECT_VERSION}-win32.zip)
endif()
set(RATECALC_RELEASE_ZIP ${PROJECT_BINARY_DIR}/${RATECALC_RELEASE_ZIP_NAME})

# The README for the people who download the zip, with this version and zip
# name; CRLF for Notepad. configure_file makes the build configure again
# when the template changes, so the zip never carries an old one.
configure_file(${PROJECT_SOURCE_DIR}/docs/README.txt.in ${PROJECT_BINARY_DIR}/README.txt @ONLY
               NEWLINE_STYLE CRLF)
# The licence too is read in Notepad, which shows LF-only text as one line.
configure_file(${PROJECT_SOURCE_DIR}/LICENSE.txt ${PROJECT_BINARY_DIR}/LICENSE.txt @ONLY
               NEWLINE_STYLE CRLF)

# CMake's own archives carry the builder's user and the file access times,
# so the zip is made by Info-ZIP's zip, with fixed names, order and times.
find_program(ZIP_EXECUTABLE zip)
find_program(BASH_EXECUTABLE bash)
add_custom_command(
  OUTPUT ${RATECALC_RELEASE_ZIP} ${PROJECT_BINARY_DIR}/SHA256SUMS
  COMMAND ${CMAKE_COMMAND} -E env ZIP_PROGRAM=${ZIP_EXECUTABLE} ${BASH_EXECUTABLE}
          ${CMAKE_CURRENT_LIST_DIR}/make_release.sh ${RATECALC_RELEASE_ZIP}
          ${RATECALC_SOURCE_DATE_EPOCH} ${RELEASE_FILES}
  DEPENDS ${RELEASE_FILES} help_file ${CMAKE_CURRENT_LIST_DIR}/make_release.sh
          ${RATECALC_SOURCE_DATE_FILE}
  COMMENT "Making the release zip and its checksum"
  VERBATIM)
add_custom_target(package DEPENDS ${RATECALC_RELEASE_ZIP})

# The figures the builds decide, into docs/measurements.md, once the zip is
# made (the release workflow's last step). It only reads the build folders,
# this one and its siblings, so the release's bytes stay as they are.
add_custom_target(
  measurements
  COMMAND ${BASH_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/measure.sh --build ${PROJECT_BINARY_DIR}/..
  VERBATIM)
add_dependencies(measurements package)
