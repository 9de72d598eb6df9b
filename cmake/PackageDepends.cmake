# SPDX-License-Identifier: MIT
# Read by cpack: the package's Depends field from the libraries its programs and the help
# engine link, found by dpkg-shlibdeps (the help engine's directory counts as private).
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_DEBIAN_PACKAGE_DEPENDS)
  find_program(ZENDRAK_SHLIBDEPS dpkg-shlibdeps REQUIRED)
  # dpkg-shlibdeps wants to run in a source tree with a debian/control file.
  set(work ${CPACK_ZENDRAK_BINARY_DIR}/packaging/shlibdeps)
  file(MAKE_DIRECTORY ${work}/debian)
  file(WRITE ${work}/debian/control "")
  execute_process(
    COMMAND ${ZENDRAK_SHLIBDEPS} -l${CPACK_ZENDRAK_BINARY_DIR}/bin --ignore-missing-info -O
            ${CPACK_ZENDRAK_ELF_FILES}
    WORKING_DIRECTORY ${work}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE errors)
  if(NOT result EQUAL 0 OR NOT output MATCHES "shlibs:Depends=([^\n]*)")
    message(FATAL_ERROR "dpkg-shlibdeps failed on ${CPACK_ZENDRAK_ELF_FILES}: ${errors}")
  endif()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}")
endif()
