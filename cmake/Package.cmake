# The release a user downloads: KOVRateCalc-<version>-win32.zip with the
# program, its help file, the README as text and the licence, all at the top,
# and SHA256SUMS beside it. `cmake --install` puts the same four files into a
# folder.
set(RELEASE_FILES $<TARGET_FILE:KOVRateCalc> $<TARGET_PROPERTY:help_file,HELP_FILE>
                  ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_SOURCE_DIR}/LICENSE.txt)
install(FILES ${RELEASE_FILES} DESTINATION .)

# Windows' own editors want CRLF line ends.
file(READ ${PROJECT_SOURCE_DIR}/README.md readme)
string(REPLACE "\n" "\r\n" readme "${readme}")
file(WRITE ${PROJECT_BINARY_DIR}/README.txt "${readme}")

# CMake's own archives carry the builder's user and the file access times,
# so the zip is made by Info-ZIP's zip, with fixed names, order and times.
find_program(ZIP_EXECUTABLE zip)
find_program(BASH_EXECUTABLE bash)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(RATECALC_RELEASE_ZIP ${PROJECT_BINARY_DIR}/KOVRateCalc-${PROJECT_VERSION}-win64.zip)
else()
  set(RATECALC_RELEASE_ZIP ${PROJECT_BINARY_DIR}/KOVRateCalc-${PROJECT_VERSION}-win32.zip)
endif()
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
