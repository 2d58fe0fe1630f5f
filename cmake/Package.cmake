# The release a user downloads: KOVRateCalc-<version>-win32.zip with the
# program, its help file, the README as text and the licence, all at the top.
install(TARGETS KOVRateCalc RUNTIME DESTINATION .)
install(FILES ${RATECALC_HELP_FILE} DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE.txt DESTINATION .)

# Windows' own editors want CRLF line ends.
file(READ ${PROJECT_SOURCE_DIR}/README.md readme)
string(REPLACE "\n" "\r\n" readme "${readme}")
file(WRITE ${PROJECT_BINARY_DIR}/README.txt "${readme}")
install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME KOVRateCalc)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME KOVRateCalc-${PROJECT_VERSION}-win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
include(CPack)
