# SPDX-License-Identifier: GPL-3.0-or-later
# Debian package of the program (cpack -G DEB in the build folder), and a test that builds it and
# checks what it holds.
if(TARN_CORE_ONLY)
  return()
endif()
# The releases of CHANGELOG.md, newest first; the newest must be the version in CMakeLists.txt.
# Its date is the date of the manual pages and of the Debian changelog, so that a rebuild makes
# the same bytes.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/CHANGELOG.md)
file(STRINGS ${CMAKE_SOURCE_DIR}/CHANGELOG.md tarn_releases
     REGEX "^## \\[[0-9]+\\.[0-9]+\\.[0-9]+\\] - [0-9]+-[0-9]+-[0-9]+$")
list(GET tarn_releases 0 tarn_newest)
if(NOT tarn_newest MATCHES "^## \\[${PROJECT_VERSION}\\] - (.*)")
  message(FATAL_ERROR "the newest release in CHANGELOG.md is not ${PROJECT_VERSION}, the version "
                      "in CMakeLists.txt: '${tarn_newest}'")
endif()
execute_process(COMMAND date -u -d "${CMAKE_MATCH_1} 00:00:00" +%s OUTPUT_VARIABLE TARN_RELEASE_EPOCH
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
include(${CMAKE_CURRENT_LIST_DIR}/manpages.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarn)
set(CPACK_PACKAGE_VENDOR "The Tarn Project")
set(CPACK_PACKAGE_CONTACT "The Tarn Project <tarn@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Corrosion monitoring: ER/LPR probe downloads, analysis, coupons")
# The extended description, wrapped for the 80 columns of a package listing.
set(CPACK_PACKAGE_DESCRIPTION
    "Tarn is a desktop program for corrosion engineers. It downloads the
readings of electrical-resistance (ER) and linear-polarisation-resistance
(LPR) probes from a portable corrosion instrument over a serial port, opens
the instrument's data files, turns resistance ratios into metal loss and
graphs the readings with a least-squares trend line and the corrosion rate.
It computes the metal loss and corrosion rate of weight-loss coupons in
metric or imperial units, keeps the history of every probe in a file or on
a shared PostgreSQL server with limits and a PDF report, and exports its
tables as CSV, XLS and XLSX. The tarn-export command writes the same
exports, graphs and reports from the command line, and the tarn-monitor
service reads online transmitters over Modbus into the history.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://tarn.example.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The first packaging of each release: CHANGELOG.md is the program's own changelog
# (changelog.gz), the packaging has a Debian changelog of its own (changelog.Debian.gz).
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# Whatever the umask of the machine that builds it.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# dpkg-shlibdeps finds the Qt runtime packages (libqt6widgets6, libqt6serialport6, ...) and the C
# and C++ runtimes from the binaries. The platform plugins are a package of their own on Debian,
# linked by nobody, and the window cannot open without them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-liberation2")
# Files under /etc are the administrator's once installed.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/conffiles CONTENT "/etc/tarn/monitor.conf\n" @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/conffiles)
include(CPack)

# The package's own documents: the copyright file in Debian's machine-readable format, the
# changelogs compressed as Debian keeps them (the Debian one with an entry for each release), and
# the example instrument files.
set(tarn_debian_changelog "")
foreach(release IN LISTS tarn_releases)
  string(REGEX MATCH "\\[(.*)\\] - (.*)" _ "${release}")
  set(version ${CMAKE_MATCH_1})
  execute_process(COMMAND date -u -R -d "${CMAKE_MATCH_2} 00:00:00" OUTPUT_VARIABLE date
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  string(APPEND tarn_debian_changelog
         "tarn (${version}-${CPACK_DEBIAN_PACKAGE_RELEASE}) unstable; urgency=medium\n\n"
         "  * Release ${version} of Tarn, packaged with CPack; the changes of the\n"
         "    program are in changelog.gz.\n\n"
         " -- ${CPACK_PACKAGE_CONTACT}  ${date}\n\n")
endforeach()
string(STRIP "${tarn_debian_changelog}" tarn_debian_changelog)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/changelog.Debian CONTENT "${tarn_debian_changelog}\n"
     @ONLY)
set(tarn_changelogs)
foreach(pair "CHANGELOG.md|${CMAKE_SOURCE_DIR}/CHANGELOG.md|changelog.gz"
             "changelog.Debian|${CMAKE_BINARY_DIR}/changelog.Debian|changelog.Debian.gz")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 1 from)
  list(GET pair 2 to)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/${to}
    COMMAND sh -c "gzip -9nc < \"$0\" > \"$1\"" ${from} ${CMAKE_BINARY_DIR}/${to}
    DEPENDS ${from}
    VERBATIM)
  list(APPEND tarn_changelogs ${CMAKE_BINARY_DIR}/${to})
endforeach()
add_custom_target(changelogs ALL DEPENDS ${tarn_changelogs})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${tarn_changelogs}
        DESTINATION share/doc/tarn)
install(FILES ${CMAKE_SOURCE_DIR}/examples/er_download.nid
              ${CMAKE_SOURCE_DIR}/examples/lpr_download.nid
        DESTINATION share/doc/tarn/examples)

# The monitor as a system service, with its example configuration as a conffile (kept when the
# administrator has changed it). The unit is not enabled at install: it needs the plant's
# transmitters in its configuration first.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/tarn-monitor.service DESTINATION lib/systemd/system)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/monitor.conf DESTINATION /etc/tarn)

if(TARN_TESTS)
  add_test(NAME package_deb
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                   -DVERSION=${PROJECT_VERSION}
                   -DDEB_RELEASE=${CPACK_DEBIAN_PACKAGE_RELEASE}
                   -P ${CMAKE_CURRENT_LIST_DIR}/check_deb.cmake)
  set_tests_properties(package_deb PROPERTIES RUN_SERIAL TRUE TIMEOUT 300)
endif()
