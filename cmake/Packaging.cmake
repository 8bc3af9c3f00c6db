# Install rules beside the programs, and CPack: a .deb on Linux, a .zip from the Windows build.
#
# Linux (and any other system but Windows), under the prefix:
#   bin/                        Zarnik, Korvath, Brellow, Quillet
#   share/seti-logtools/        redbit.png, the image that result pages draw their bars with
#   share/man/man1/             Zarnik.1 (also Korvath.1), Brellow.1, Quillet.1
#   share/doc/seti-logtools/    README.md
# Windows: one folder with the four .exe files, redbit.png and README.txt (CR LF line ends).
set(SETI_PACKAGE_NAME seti-logtools)

if(WIN32)
  install(FILES ${CMAKE_SOURCE_DIR}/examples/redbit.png DESTINATION .)
  # Kept with LF line ends in the tree; Notepad and every Windows tool read CR LF.
  file(READ ${CMAKE_SOURCE_DIR}/packaging/README.txt windows_readme)
  string(REPLACE "\r\n" "\n" windows_readme "${windows_readme}")
  string(REPLACE "\n" "\r\n" windows_readme "${windows_readme}")
  file(WRITE ${CMAKE_BINARY_DIR}/packaging/README.txt "${windows_readme}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${CMAKE_SOURCE_DIR}/packaging/README.txt)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt DESTINATION .)
else()
  install(FILES ${CMAKE_SOURCE_DIR}/examples/redbit.png DESTINATION share/${SETI_PACKAGE_NAME})
  install(FILES ${CMAKE_SOURCE_DIR}/man/man1/Zarnik.1 ${CMAKE_SOURCE_DIR}/man/man1/Korvath.1
                ${CMAKE_SOURCE_DIR}/man/man1/Brellow.1 ${CMAKE_SOURCE_DIR}/man/man1/Quillet.1
          DESTINATION share/man/man1)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION share/doc/${SETI_PACKAGE_NAME})
endif()

set(CPACK_PACKAGE_NAME ${SETI_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the authors")
set(CPACK_PACKAGE_CONTACT "the authors <seti-logtools@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Merge, archive and show logs of SETI@home work units")
set(CPACK_PACKAGE_DESCRIPTION
    "Zarnik (also run as Korvath) merges work units from the client directory, SETI@Support \
data files, I4WU and SETILog exports and WUInfo.csv tables into one database; Brellow archives \
a finished result; Quillet writes the HTML page of a result.")
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
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://setiathome.berkeley.edu/")
  # The C and C++ runtimes the programs link against, found by dpkg-shlibdeps where it is.
  find_program(SETI_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(SETI_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
  endif()
endif()
include(CPack)
