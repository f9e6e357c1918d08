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
    ./usr/share/icons/hicolor/16x16/apps/tarn.png
    ./usr/share/icons/hicolor/48x48/apps/tarn.png
    ./usr/share/icons/hicolor/256x256/apps/tarn.png)
  string(FIND "${listing}" " ${path}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${path} missing from the package:\n${listing}")
  endif()
endforeach()

execute_process(COMMAND dpkg-deb -f ${debs} Package Depends OUTPUT_VARIABLE fields)
foreach(dep libqt6widgets6 libqt6serialport6 libqt6printsupport6 qt6-qpa-plugins)
  string(FIND "${fields}" "${dep}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the package does not depend on ${dep}:\n${fields}")
  endif()
endforeach()
message(STATUS "${debs}\n${fields}")
