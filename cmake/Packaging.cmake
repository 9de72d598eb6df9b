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

# Man pages from the programs' own --help, compressed as Debian keeps them.
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
set(ZENDRAK_MAN_NAME_zendrak-cli "load firmware into a satellite receiver from the command line")
set(ZENDRAK_MAN_NAME_zendrak-receiver-sim "play a satellite receiver's console on a pseudo-terminal")
# Sections beyond --help (the JSON events and the trace of zendrak-cli).
set(ZENDRAK_MAN_INCLUDE_zendrak-cli ${CMAKE_SOURCE_DIR}/packaging/zendrak-cli.h2m)
if(HELP2MAN AND GZIP)
  foreach(program zendrak-cli zendrak-receiver-sim)
    if(TARGET ${program})
      set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
      set(include)
      if(ZENDRAK_MAN_INCLUDE_${program})
        set(include "--include=${ZENDRAK_MAN_INCLUDE_${program}}")
      endif()
      add_custom_command(OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND ${CMAKE_COMMAND} -E env ZENDRAK_NO_PORT_DETECTION=1
                ${HELP2MAN} --no-info --no-discard-stderr --section=1
                "--name=${ZENDRAK_MAN_NAME_${program}}" ${include} --output=${page}
                $<TARGET_FILE:${program}>
        COMMAND ${GZIP} -9nf ${page}
        DEPENDS ${program} ${ZENDRAK_MAN_INCLUDE_${program}}
        COMMENT "Man page for ${program}"
        VERBATIM)
      add_custom_target(${program}-man ALL DEPENDS ${page}.gz)
      install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endforeach()
else()
  message(STATUS "help2man or gzip not found: no man pages")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zendrak)
set(CPACK_PACKAGE_VENDOR "Zendrak developers")
set(CPACK_PACKAGE_CONTACT "Zendrak developers <zendrak@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware update tool for satellite receivers on a serial line")
set(CPACK_PACKAGE_DESCRIPTION "Zendrak restarts a satellite receiver through its serial console, sends up to three firmware files and reports the receiver's verdict. It has a Qt window, a command-line front end and a receiver simulator for trying it without hardware.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY zendrak)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
include(CPack)
