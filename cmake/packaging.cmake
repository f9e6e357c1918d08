# Debian package of the program (cpack -G DEB in the build folder), and a test that builds it and
# checks what it holds.
if(TARN_CORE_ONLY)
  return()
endif()
include(${CMAKE_CURRENT_LIST_DIR}/manpages.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarn)
set(CPACK_PACKAGE_VENDOR "The Tarn Project")
set(CPACK_PACKAGE_CONTACT "The Tarn Project <tarn@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Corrosion monitoring: ER/LPR probe downloads, analysis, coupons")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://tarn.example.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# dpkg-shlibdeps finds the Qt runtime packages (libqt6widgets6, libqt6serialport6, ...) and the C
# and C++ runtimes from the binaries. The platform plugins are a package of their own on Debian,
# linked by nobody, and the window cannot open without them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-liberation2")
include(CPack)

if(TARN_TESTS)
  add_test(NAME package_deb
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                   -P ${CMAKE_CURRENT_LIST_DIR}/check_deb.cmake)
  set_tests_properties(package_deb PROPERTIES RUN_SERIAL TRUE TIMEOUT 300)
endif()
