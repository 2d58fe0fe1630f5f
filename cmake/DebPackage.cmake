# The Linux program as a Debian package: `cmake --workflow --preset
# linux-package` (or `--target package` in any Qt build) makes
# kov-rate-calculator_<version>_<arch>.deb in the build folder, with the
# program, its menu entry, icons, help pages, manual page, AppStream
# metainfo, changelog and copyright. Everything lies under /usr, so removing
# the package leaves only the user's settings in their home folder.
include(GNUInstallDirs)

# Who answers for the package: "Name <address>". Without it, DEBFULLNAME
# and DEBEMAIL as Debian's own tools read them; without those, a stand-in
# that lintian rejects, and a warning.
set(RATECALC_MAINTAINER "" CACHE STRING "The package's Maintainer: Name <address>")
set(maintainer "${RATECALC_MAINTAINER}")
if(NOT maintainer AND "$ENV{DEBEMAIL}" MATCHES "<.+>")
  set(maintainer "$ENV{DEBEMAIL}")
elseif(NOT maintainer AND NOT "$ENV{DEBEMAIL}" STREQUAL "" AND NOT "$ENV{DEBFULLNAME}" STREQUAL "")
  set(maintainer "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
endif()
set(RATECALC_MAINTAINER_STAND_IN "KOV Rate Calculator developers <nobody@invalid>")
if(NOT maintainer)
  message(WARNING "The .deb's Maintainer is a stand-in that lintian rejects: configure with "
                  "-DRATECALC_MAINTAINER=\"Your Name <you@example.org>\" (or set DEBEMAIL).")
  set(maintainer "${RATECALC_MAINTAINER_STAND_IN}")
elseif(NOT maintainer MATCHES "^[^<>]+ <[^<>@ ]+@[^<>@ ]+>$")
  message(FATAL_ERROR "RATECALC_MAINTAINER is \"${maintainer}\", not \"Name <address>\"")
endif()

# The web address the project's pages are published at; the metainfo's
# screenshot is docs/images/linux-main-pay.png there.
set(RATECALC_HOMEPAGE "https://kov-rate-calculator.example.org"
    CACHE STRING "The project's web address, for the AppStream metainfo")

# The files Debian asks of a package beside the program, made from
# packaging/: the license text indented as the copyright format wants, the
# changelog and manual page compressed as policy asks (gzip -9n: no name or
# time stamp, so builds compare equal).
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(made ${CMAKE_BINARY_DIR}/packaging)
set(appstream_id org.kovratecalc.kov_rate_calculator)
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE.txt license_lines)
set(RATECALC_LICENSE_TEXT "")
foreach(line IN LISTS license_lines)
  if(line STREQUAL "")
    set(line ".")
  endif()
  string(APPEND RATECALC_LICENSE_TEXT " ${line}\n")
endforeach()
string(STRIP "${RATECALC_LICENSE_TEXT}" RATECALC_LICENSE_TEXT)
string(PREPEND RATECALC_LICENSE_TEXT " ")
configure_file(${packaging}/copyright.in ${made}/copyright @ONLY)
configure_file(${packaging}/${appstream_id}.metainfo.xml.in ${made}/${appstream_id}.metainfo.xml
               @ONLY)
configure_file(${packaging}/changelog.in ${made}/changelog @ONLY)
configure_file(${packaging}/kov-rate-calculator.1 ${made}/kov-rate-calculator.1 @ONLY)
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(compressed)
foreach(file changelog kov-rate-calculator.1)
  add_custom_command(OUTPUT ${made}/${file}.gz
                     COMMAND ${GZIP_EXECUTABLE} -9nkf ${made}/${file}
                     DEPENDS ${made}/${file})
  list(APPEND compressed ${made}/${file}.gz)
endforeach()
add_custom_target(deb_files ALL DEPENDS ${compressed})

set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/kov-rate-calculator)
install(FILES ${made}/copyright ${made}/changelog.gz DESTINATION ${doc_dir})
install(FILES ${made}/kov-rate-calculator.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging}/kov-rate-calculator.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${made}/${appstream_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME kov-rate-calculator)
# The package's program is stripped as Debian strips it, without the
# compiler's notes.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND ${CMAKE_STRIP} --remove-section=.comment --remove-section=.note
                          \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/kov-rate-calculator\")
endif()")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kov-rate-calculator)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "KOV Rate Calculator developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Pay, charge and margin calculator")
# Lines of at most 80 characters, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
    "A small window that stays on top of the others and works out the relation\n"
    "between the pay of an hour's work, the charge made for it and the margin\n"
    "between the two: the pay a charge and a margin allow, the charge a pay and a\n"
    "margin need, or the margin a pay and a charge leave.\n"
    "\n"
    "Holiday pay (WTR) and employer's national insurance (ER NI) can each be\n"
    "added on the way from pay to cost. The figures are kept for the next run,\n"
    "and F1 shows the help in the program's own window.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${maintainer}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The libraries the program links, with their versions, as dpkg-shlibdeps
# reads them from the program; the xcb platform comes with libqt6gui6.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
