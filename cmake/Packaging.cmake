# SPDX-License-Identifier: MIT
# Installation and the Debian package. The programs, the help engine library and the help file
# live together in <prefix>/lib/zendrak, because the help file and the engine are looked for
# beside the executable; <prefix>/bin holds symlinks to the programs.

set(ZENDRAK_PROGRAMS zendrak zendrak-cli zendrak-receiver-sim)
foreach(program IN LISTS ZENDRAK_PROGRAMS)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${ZENDRAK_LIBEXEC_DIR})
    install(CODE "
      set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\")
      file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
      file(CREATE_LINK \"../${ZENDRAK_LIBEXEC_DIR}/${program}\" \"\${link}\" SYMBOLIC)
      message(STATUS \"Installing: \${link} -> ../${ZENDRAK_LIBEXEC_DIR}/${program}\")")
  endif()
endforeach()

if(TARGET hhctrl)
  install(TARGETS hhctrl LIBRARY DESTINATION ${ZENDRAK_LIBEXEC_DIR} NAMELINK_SKIP)
endif()
if(TARGET zendrak_help_file)
  install(FILES ${CMAKE_BINARY_DIR}/bin/zendrakhelp.chm DESTINATION ${ZENDRAK_LIBEXEC_DIR} OPTIONAL)
endif()

if(TARGET zendrak)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/zendrak.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  if(EXISTS ${CMAKE_SOURCE_DIR}/src/app/icons/zendrak.svg)
    install(FILES ${CMAKE_SOURCE_DIR}/src/app/icons/zendrak.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  endif()
  if(EXISTS ${CMAKE_SOURCE_DIR}/src/app/icons/zendrak-32.png)
    install(FILES ${CMAKE_SOURCE_DIR}/src/app/icons/zendrak-32.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps RENAME zendrak.png)
  endif()
endif()

# Man pages from the programs' own --help (help2man), compressed as Debian keeps them. The window
# prints its help without a display and lists its environment and files itself; zendrak-cli's
# page takes its environment, files, JSON events and trace from include files.
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
set(ZENDRAK_MAN_NAME_zendrak "load firmware into a satellite receiver over a serial line")
set(ZENDRAK_MAN_NAME_zendrak-cli "load firmware into a satellite receiver from the command line")
set(ZENDRAK_MAN_NAME_zendrak-receiver-sim "play a satellite receiver's console on a pseudo-terminal")
set(ZENDRAK_MAN_INCLUDES_zendrak-cli ${CMAKE_SOURCE_DIR}/packaging/man/environment.h2m
    ${CMAKE_SOURCE_DIR}/packaging/zendrak-cli.h2m
    ${CMAKE_SOURCE_DIR}/packaging/man/production-line.h2m)
set(ZENDRAK_MAN_DIR ${CMAKE_BINARY_DIR}/man)
if(HELP2MAN AND GZIP)
  foreach(program IN LISTS ZENDRAK_PROGRAMS)
    if(TARGET ${program})
      set(page ${ZENDRAK_MAN_DIR}/${program}.1)
      set(includes)
      foreach(include IN LISTS ZENDRAK_MAN_INCLUDES_${program})
        list(APPEND includes "--include=${include}")
      endforeach()
      add_custom_command(OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${ZENDRAK_MAN_DIR}
        COMMAND ${CMAKE_COMMAND} -E env ZENDRAK_NO_PORT_DETECTION=1
                ${HELP2MAN} --no-info --no-discard-stderr --section=1
                "--name=${ZENDRAK_MAN_NAME_${program}}" ${includes} --output=${page}
                $<TARGET_FILE:${program}>
        COMMAND ${GZIP} -9nf ${page}
        DEPENDS ${program} ${ZENDRAK_MAN_INCLUDES_${program}}
        COMMENT "Man page for ${program}"
        VERBATIM)
      add_custom_target(${program}-man ALL DEPENDS ${page}.gz)
      install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endforeach()
else()
  message(STATUS "help2man or gzip not found: no man pages")
endif()

# What Debian asks of every package beside the programs: the licence in machine-readable form
# and the package's changelog (compressed, as for any package with a Debian revision).
set(ZENDRAK_PACKAGE_RELEASE 1)
set(ZENDRAK_PACKAGE_VERSION ${PROJECT_VERSION}-${ZENDRAK_PACKAGE_RELEASE})
set(ZENDRAK_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/zendrak)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${ZENDRAK_DOC_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME zendrak)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.Debian.in
               ${CMAKE_BINARY_DIR}/packaging/changelog.Debian @ONLY)
if(GZIP)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz
    COMMAND ${GZIP} -9nkf ${CMAKE_BINARY_DIR}/packaging/changelog.Debian
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.Debian
    VERBATIM)
  add_custom_target(zendrak-changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz DESTINATION ${ZENDRAK_DOC_DIR})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zendrak)
set(CPACK_PACKAGE_VENDOR "Zendrak developers")
set(CPACK_PACKAGE_CONTACT "Zendrak developers <maintainers@zendrak.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware update tool for satellite receivers on a serial line")
# The extended description below the summary; every line stays within 80 columns.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
Zendrak restarts a satellite receiver through its serial console, sends up to
three firmware files and reports the receiver's verdict. It has a Qt window, a
command-line front end and a receiver simulator for trying it without hardware.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY zendrak)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${ZENDRAK_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_STRIP_FILES ON)
# The dependencies come from dpkg-shlibdeps in PackageDepends.cmake, not from CPack's own
# search: that one also adds ldconfig calls to the maintainer scripts for any shared object
# under /usr/lib, and the help engine is a private library in /usr/lib/zendrak, loaded by path.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_ZENDRAK_BINARY_DIR ${CMAKE_BINARY_DIR})
set(CPACK_ZENDRAK_ELF_FILES)
foreach(program IN LISTS ZENDRAK_PROGRAMS)
  if(TARGET ${program})
    list(APPEND CPACK_ZENDRAK_ELF_FILES ${CMAKE_BINARY_DIR}/bin/${program})
  endif()
endforeach()
if(TARGET hhctrl)
  list(APPEND CPACK_ZENDRAK_ELF_FILES ${CMAKE_BINARY_DIR}/bin/libhhctrl.so)
endif()
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/PackageDepends.cmake)
include(CPack)
