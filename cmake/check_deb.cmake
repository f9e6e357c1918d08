# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the .deb from an already built tree and checks its files and dependencies with dpkg-deb,
# its metadata with appstreamcli and desktop-file-validate, and the whole with lintian.
# cmake -DBUILD_DIR=<build folder> -DVERSION=<version>
#       -DDEB_RELEASE=<packaging revision> -P check_deb.cmake
set(out ${BUILD_DIR}/package-check)
file(REMOVE_RECURSE ${out})
execute_process(COMMAND cpack -G DEB -B ${out} --config ${BUILD_DIR}/CPackConfig.cmake
                WORKING_DIRECTORY ${BUILD_DIR} RESULT_VARIABLE rc OUTPUT_VARIABLE log
                ERROR_VARIABLE log)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${log}")
endif()
file(GLOB debs ${out}/*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one .deb in ${out}, found: ${debs}")
endif()

execute_process(COMMAND dpkg-deb -c ${debs} RESULT_VARIABLE rc OUTPUT_VARIABLE listing)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dpkg-deb -c failed on ${debs}")
endif()
foreach(path
    ./usr/bin/tarn
    ./usr/bin/tarn-export
    ./usr/bin/tarn-instrument-sim
    ./usr/share/applications/org.example.Tarn.desktop
    ./usr/share/metainfo/org.example.Tarn.metainfo.xml
    ./usr/share/mime/packages/tarn.xml
    ./usr/share/doc/tarn/copyright
    ./usr/share/doc/tarn/changelog.gz
    ./usr/share/doc/tarn/changelog.Debian.gz
    ./usr/share/doc/tarn/user-guide.md
    ./usr/share/doc/tarn/examples/er_download.nid
    ./usr/share/man/man1/tarn.1.gz
    ./usr/share/man/man1/tarn-export.1.gz
    ./usr/share/man/man1/tarn-instrument-sim.1.gz
    ./usr/bin/tarn-transmitter-sim
    ./usr/bin/tarn-monitor
    ./usr/share/man/man1/tarn-monitor.1.gz
    ./usr/share/man/man1/tarn-transmitter-sim.1.gz
    ./usr/lib/systemd/system/tarn-monitor.service
    ./etc/tarn/monitor.conf
    ./usr/share/icons/hicolor/16x16/apps/tarn.png
    ./usr/share/icons/hicolor/48x48/apps/tarn.png
    ./usr/share/icons/hicolor/256x256/apps/tarn.png)
  string(FIND "${listing}" " ${path}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${path} missing from the package:\n${listing}")
  endif()
endforeach()

# The file manager opens both file types with Tarn: the desktop entry takes files and names the
# types, and the MIME file knows them by name and the coupon file by its signature.
set(unpacked ${out}/unpacked)
execute_process(COMMAND dpkg-deb -x ${debs} ${unpacked} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dpkg-deb -x failed on ${debs}")
endif()
file(READ ${unpacked}/usr/share/applications/org.example.Tarn.desktop desktop)
file(READ ${unpacked}/usr/share/mime/packages/tarn.xml mime)
foreach(pair
    "desktop|Exec=tarn %F\n"
    "desktop|MimeType=application/x-tarn-instrument-data;application/x-tarn-coupons;"
    "mime|<mime-type type=\"application/x-tarn-instrument-data\">"
    "mime|<glob pattern=\"*.nid\"/>"
    "mime|<mime-type type=\"application/x-tarn-coupons\">"
    "mime|<glob pattern=\"*.CPN\" case-sensitive=\"true\"/>"
    "mime|<match type=\"string\" offset=\"0\" value=\"C_32_V_1_0\"/>")
  string(FIND "${pair}" "|" bar)
  string(SUBSTRING "${pair}" 0 ${bar} var)
  math(EXPR bar "${bar} + 1")
  string(SUBSTRING "${pair}" ${bar} -1 want)
  string(FIND "${${var}}" "${want}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${var} file lacks ${want}:\n${${var}}")
  endif()
endforeach()
find_program(XMLLINT xmllint)
if(XMLLINT)
  execute_process(COMMAND ${XMLLINT} --noout ${unpacked}/usr/share/mime/packages/tarn.xml
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "tarn.xml is not well-formed: ${err}")
  endif()
endif()

execute_process(COMMAND dpkg-deb -f ${debs} Package Depends OUTPUT_VARIABLE fields)
foreach(dep libqt6widgets6 libqt6serialport6 libqt6printsupport6 qt6-qpa-plugins)
  string(FIND "${fields}" "${dep}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the package does not depend on ${dep}:\n${fields}")
  endif()
endforeach()

# Every program the package installs has its manual page and is one the software-centre entry
# says the package provides.
file(READ ${unpacked}/usr/share/metainfo/org.example.Tarn.metainfo.xml provided)
string(REGEX MATCHALL " \\./usr/bin/[^/\n]+\n" programs "${listing}")
foreach(line IN LISTS programs)
  string(REGEX REPLACE ".*/usr/bin/([^\n]+)\n" "\\1" program "${line}")
  string(FIND "${listing}" " ./usr/share/man/man1/${program}.1.gz\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "/usr/bin/${program} has no manual page in the package")
  endif()
  string(FIND "${provided}" "<binary>${program}</binary>" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the metainfo does not say the package provides ${program}")
  endif()
endforeach()

# The copyright file names the licence of every library the package links, beyond the C and C++
# run-time libraries every program links.
file(READ ${unpacked}/usr/share/doc/tarn/copyright copyright)
string(REGEX MATCH "Depends: [^\n]*" depends "${fields}")
string(REGEX MATCHALL "lib[a-z0-9.+-]+" linked "${depends}")
list(REMOVE_ITEM linked libc6 libgcc-s1 libstdc++6)
foreach(lib IN LISTS linked)
  string(FIND "${copyright}" "${lib}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the copyright file does not name ${lib}, which the package links")
  endif()
endforeach()

# One version everywhere: the package and the newest release of the software-centre entry (the
# configure step holds CHANGELOG.md to it).
execute_process(COMMAND dpkg-deb -f ${debs} Version Description OUTPUT_VARIABLE control)
string(REGEX MATCH "^Version: ([^\n]*)" _ "${control}")
if(NOT CMAKE_MATCH_1 STREQUAL "${VERSION}-${DEB_RELEASE}")
  message(FATAL_ERROR "package version ${CMAKE_MATCH_1}, project version ${VERSION}")
endif()
file(READ ${unpacked}/usr/share/metainfo/org.example.Tarn.metainfo.xml metainfo)
string(REGEX MATCH "<release version=\"([^\"]*)\"" _ "${metainfo}")
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR "newest release of the metainfo is '${CMAKE_MATCH_1}', not ${VERSION}")
endif()
# The extended description is a paragraph, not only the summary again.
string(REGEX MATCHALL "\n [^\n]+" long_lines "${control}")
list(LENGTH long_lines long_count)
if(long_count LESS 3)
  message(FATAL_ERROR "the extended description is too short:\n${control}")
endif()

# The checks a distribution runs: each must pass without an error or a warning.
foreach(tool appstreamcli desktop-file-validate lintian)
  find_program(found_${tool} ${tool})
  if(NOT found_${tool})
    message(FATAL_ERROR "${tool} is missing: tools/tarn-setup test installs it")
  endif()
endforeach()
# The entry alone, then with the tree it names (the desktop entry it launches).
foreach(how "validate;${unpacked}/usr/share/metainfo/org.example.Tarn.metainfo.xml"
            "validate-tree;${unpacked}")
  list(GET how 0 verb)
  list(GET how 1 what)
  execute_process(COMMAND ${found_appstreamcli} ${verb} --no-net ${what}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0 OR out MATCHES "(^|\n) *[EW]: ")
    message(FATAL_ERROR "appstreamcli ${verb}:\n${out}")
  endif()
endforeach()
execute_process(COMMAND ${found_desktop-file-validate}
                        ${unpacked}/usr/share/applications/org.example.Tarn.desktop
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate:\n${out}")
endif()
execute_process(COMMAND ${found_lintian} --fail-on error,warning --display-level ">=warning"
                        ${debs}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "lintian:\n${out}${err}")
endif()
message(STATUS "${debs}\n${fields}lintian: ${out}")
