# Install rules beside the programs, and CPack: a .deb on Linux, a .zip from the Windows build.
#
# Linux (and any other system but Windows), under the prefix:
#   bin/                        Zarnik, Korvath, Brellow, Quillet, Almanac
#   share/seti-logtools/        redbit.png, the image that result pages draw their bars with
#   share/man/man1/             Zarnik.1 (also Korvath.1), Brellow.1, Quillet.1, Almanac.1,
#                               each gzipped where gzip is at hand (as Debian wants them)
#   share/doc/seti-logtools/    README.md, copyright (the licence, in Debian's machine-readable
#                               form) and changelog.Debian.gz
#   share/lintian/overrides/    seti-logtools, the lintian tag the package overrides and why
# Windows: one folder with the five .exe files, redbit.png, README.txt and LICENSE.txt (CR LF
# line ends).
set(SETI_PACKAGE_NAME seti-logtools)
set(SETI_PACKAGE_MAINTAINER "seti-logtools developers <seti-logtools@example.org>")
set(SETI_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${SETI_PACKAGING_DIR})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE)

# The holder line of LICENSE ("Copyright (c) YEAR HOLDER") and the licence's own text after it.
file(READ ${CMAKE_SOURCE_DIR}/LICENSE seti_license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)\n" seti_license_holder "${seti_license}")
set(seti_license_holder "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^.*Copyright \\(c\\) [^\n]*\n\n" "" seti_license_text "${seti_license}")

if(WIN32)
  # Kept with LF line ends in the tree; Notepad and every Windows tool read CR LF.
  function(seti_install_windows_text source name)
    file(READ ${source} text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${SETI_PACKAGING_DIR}/${name} "${text}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    install(FILES ${SETI_PACKAGING_DIR}/${name} DESTINATION .)
  endfunction()
  install(FILES ${CMAKE_SOURCE_DIR}/examples/redbit.png DESTINATION .)
  seti_install_windows_text(${CMAKE_SOURCE_DIR}/packaging/README.txt README.txt)
  seti_install_windows_text(${CMAKE_SOURCE_DIR}/LICENSE LICENSE.txt)
else()
  install(FILES ${CMAKE_SOURCE_DIR}/examples/redbit.png DESTINATION share/${SETI_PACKAGE_NAME})
  set(seti_doc share/doc/${SETI_PACKAGE_NAME})
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${seti_doc})

  # The licence as a machine-readable copyright file: the MIT licence is "Expat" there, its
  # text indented by one space and an empty line written as " .".
  string(REGEX REPLACE "\n+$" "" text "${seti_license_text}")
  string(REPLACE "\n\n" "\n.\n" text "${text}")
  string(REPLACE "\n" "\n " text "${text}")
  file(WRITE ${SETI_PACKAGING_DIR}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${SETI_PACKAGE_NAME}
Upstream-Contact: ${SETI_PACKAGE_MAINTAINER}

Files: *
Copyright: ${seti_license_holder}
License: Expat
 ${text}
")
  install(FILES ${SETI_PACKAGING_DIR}/copyright DESTINATION ${seti_doc})
  # The one lintian tag the package overrides, with the reason beside it.
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides DESTINATION share/lintian/overrides
          RENAME ${SETI_PACKAGE_NAME})

  # Debian wants the manual and the changelog compressed with `gzip -9n` (no name, no time in
  # the header, so the bytes stay the same). Where there is no gzip they are installed plain.
  find_program(SETI_GZIP gzip)
  set(SETI_MAN_SUFFIX "")
  if(SETI_GZIP)
    set(SETI_MAN_SUFFIX .gz)
  endif()
  function(seti_gzip source target)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    execute_process(COMMAND ${SETI_GZIP} -9nc ${source} OUTPUT_FILE ${target}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "gzip -9nc ${source} failed")
    endif()
  endfunction()
  foreach(page Zarnik Korvath Brellow Quillet Almanac)
    set(source ${CMAKE_SOURCE_DIR}/man/man1/${page}.1)
    if(SETI_GZIP)
      file(MAKE_DIRECTORY ${SETI_PACKAGING_DIR}/man1)
      seti_gzip(${source} ${SETI_PACKAGING_DIR}/man1/${page}.1.gz)
      set(source ${SETI_PACKAGING_DIR}/man1/${page}.1.gz)
    endif()
    install(FILES ${source} DESTINATION share/man/man1)
  endforeach()
  if(SETI_GZIP)
    seti_gzip(${CMAKE_SOURCE_DIR}/packaging/changelog ${SETI_PACKAGING_DIR}/changelog.Debian.gz)
    install(FILES ${SETI_PACKAGING_DIR}/changelog.Debian.gz DESTINATION ${seti_doc})
  else()
    install(FILES ${CMAKE_SOURCE_DIR}/packaging/changelog DESTINATION ${seti_doc}
            RENAME changelog.Debian)
  endif()
endif()

set(CPACK_PACKAGE_NAME ${SETI_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the authors")
set(CPACK_PACKAGE_CONTACT "${SETI_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Merge, archive and show logs of SETI@home work units")
set(CPACK_PACKAGE_DESCRIPTION
"Four console programs for people who keep logs of SETI@home work units.
Zarnik (also run as Korvath) merges the work units it reads from the client's
directory, SETI@Support data files, I4WU and SETILog exports and WUInfo.csv
tables into one database, sorted by arrival. Brellow archives a finished
result under the work unit's name; Quillet writes the HTML page of a result.
Almanac reads the same sources and writes one HTML page of the whole history,
with its charts.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/CPackTime.cmake)
set(CPACK_SETI_SOURCE_DIR ${CMAKE_SOURCE_DIR})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # The Debian revision: the package is made outside Debian's own tree of the program, so its
  # version is the program's and a revision, and its changelog is changelog.Debian.gz
  # (packaging/changelog, whose first entry names this version).
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # The C and C++ runtimes the programs link against, found by dpkg-shlibdeps where it is.
  find_program(SETI_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(SETI_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
  endif()
endif()
include(CPack)
