# SPDX-License-Identifier: GPL-3.0-or-later
# Manual pages of the installed programs: written in scdoc (docs/man/<program>.1.scd), turned
# into troff at build time, dated as the release, and installed compressed, as Debian keeps them. A test checks that
# each page names every option and command its program's --help prints.
find_program(TARN_SCDOC scdoc)
if(NOT TARN_SCDOC)
  message(FATAL_ERROR "scdoc is needed for the manual pages: apt-get install scdoc "
                      "(tools/tarn-setup installs it)")
endif()
find_program(TARN_GZIP gzip REQUIRED)

set(TARN_MAN_PROGRAMS tarn tarn-export tarn-instrument-sim tarn-monitor tarn-transmitter-sim)
set(man_outputs)
foreach(program IN LISTS TARN_MAN_PROGRAMS)
  set(src ${CMAKE_SOURCE_DIR}/docs/man/${program}.1.scd)
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${TARN_RELEASE_EPOCH}
            sh -c "\"$0\" < \"$1\" > \"$2\"" ${TARN_SCDOC} ${src} ${page}
    # -n: no name or time stamp inside, so the same page compresses to the same bytes.
    COMMAND ${TARN_GZIP} -9nf ${page}
    DEPENDS ${src}
    COMMENT "Manual page ${program}(1)"
    VERBATIM)
  list(APPEND man_outputs ${page}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_outputs})
install(FILES ${man_outputs} DESTINATION share/man/man1)

if(TARN_TESTS)
  set(man_args)
  foreach(program IN LISTS TARN_MAN_PROGRAMS)
    list(APPEND man_args ${CMAKE_SOURCE_DIR}/docs/man/${program}.1.scd $<TARGET_FILE:${program}>)
  endforeach()
  find_program(TARN_PYTHON3_MAN python3 PATHS /usr/bin NO_DEFAULT_PATH)
  add_test(NAME man_pages_name_every_option
           COMMAND ${TARN_PYTHON3_MAN} ${CMAKE_SOURCE_DIR}/tools/check-man-options ${man_args})
endif()
