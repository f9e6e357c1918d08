# Builds the .deb from an already built tree and checks its files and dependencies with dpkg-deb.
# cmake -DBUILD_DIR=<build folder> -P check_deb.cmake
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
    ./usr/share/applications/tarn.desktop
    ./usr/share/mime/packages/tarn.xml
    ./usr/share/doc/tarn/user-guide.md
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
file(READ ${unpacked}/usr/share/applications/tarn.desktop desktop)
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
message(STATUS "${debs}\n${fields}")
