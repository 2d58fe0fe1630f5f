# The Linux program as a Debian package: `cmake --build --preset linux
# --target package` makes kov-rate-calculator_<version>_<arch>.deb with the
# program, its menu entry, its icons, the help pages and the copyright.
# Everything lies under /usr, so removing the package leaves only the
# user's settings in their home folder.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kov-rate-calculator
        RENAME copyright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kov-rate-calculator)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "KOV Rate Calculator developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Pay, charge and margin calculator")
set(CPACK_PACKAGE_DESCRIPTION
    "A small always-on-top window that works out the pay a charge and margin allow, the charge a pay and margin need, or the margin a pay and charge leave, with the WTR and ER NI on-costs.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "KOV Rate Calculator developers <nobody@invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The libraries the program links, with their versions, as dpkg-shlibdeps
# reads them from the program; the xcb platform comes with libqt6gui6. F1
# opens the help through xdg-open.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
include(CPack)
