# Test script: installs a finished build into a scratch prefix and checks that each of the five
# programs is there and runs (each prints its usage and exits with status 0: the first four with
# no argument, Almanac with -help, since without one it reads the current folder), and that the
# page image, the man pages, the README, the copyright file and the changelog are installed
# beside them.
# Called by ctest with -DBUILD_DIR=<build tree> -DPREFIX=<scratch prefix> -DSOURCE_DIR=<tree>
# -DMAN_SUFFIX=<.gz or nothing> -DGZIP=<gzip, when the man pages are gzipped>.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${output}")
endif()
file(MAKE_DIRECTORY "${PREFIX}/run")
foreach(program Zarnik Korvath Brellow Quillet Almanac)
  set(installed "${PREFIX}/bin/${program}")
  if(NOT EXISTS "${installed}")
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
  set(arguments)
  if(program STREQUAL "Almanac")
    set(arguments -help)
  endif()
  execute_process(COMMAND "${installed}" ${arguments} WORKING_DIRECTORY "${PREFIX}/run"
    RESULT_VARIABLE status OUTPUT_VARIABLE usage ERROR_QUIET)
  if(NOT status EQUAL 0 OR NOT usage MATCHES "1\\.00")
    message(FATAL_ERROR "${installed} did not print its usage (status ${status}): ${usage}")
  endif()
endforeach()
file(GLOB written "${PREFIX}/run/*")
if(written)
  message(FATAL_ERROR "a program that printed its usage wrote files: ${written}")
endif()

# The image the pages draw their bars with, byte for byte the one in examples/.
set(image "${PREFIX}/share/seti-logtools/redbit.png")
if(NOT EXISTS "${image}")
  message(FATAL_ERROR "not installed: ${image}")
endif()
file(SHA256 "${image}" installed_hash)
file(SHA256 "${SOURCE_DIR}/examples/redbit.png" source_hash)
if(NOT installed_hash STREQUAL source_hash)
  message(FATAL_ERROR "${image} is not examples/redbit.png")
endif()
if(MAN_SUFFIX STREQUAL ".gz")
  set(changelog share/doc/seti-logtools/changelog.Debian.gz)
else()
  set(changelog share/doc/seti-logtools/changelog.Debian)
endif()
foreach(file share/man/man1/Zarnik.1${MAN_SUFFIX} share/man/man1/Korvath.1${MAN_SUFFIX}
             share/man/man1/Brellow.1${MAN_SUFFIX} share/man/man1/Quillet.1${MAN_SUFFIX}
             share/man/man1/Almanac.1${MAN_SUFFIX}
             share/doc/seti-logtools/README.md share/doc/seti-logtools/copyright ${changelog})
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${PREFIX}/${file}")
  endif()
endforeach()
# The text of an installed man page, unpacked where it is gzipped.
function(read_page program out)
  set(file "${PREFIX}/share/man/man1/${program}.1${MAN_SUFFIX}")
  if(MAN_SUFFIX STREQUAL ".gz")
    execute_process(COMMAND "${GZIP}" -dc "${file}" OUTPUT_VARIABLE page RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${file} does not unpack")
    endif()
  else()
    file(READ "${file}" page)
  endif()
  set(${out} "${page}" PARENT_SCOPE)
endfunction()
# Each man page names its program and the licence; Korvath's leads to Zarnik's, which covers
# both names.
foreach(program Zarnik Brellow Quillet Almanac)
  read_page(${program} page)
  string(TOUPPER "${program}" title)
  if(NOT page MATCHES "\\.TH ${title} 1")
    message(FATAL_ERROR "${program}.1 is no man page of ${program}")
  endif()
  if(NOT page MATCHES "\\.SH COPYRIGHT\n[^\n]*2026 the authors\\.\n[^\n]*MIT licence")
    message(FATAL_ERROR "${program}.1 names no copyright and licence")
  endif()
endforeach()
read_page(Korvath page)
if(NOT page STREQUAL ".so man1/Zarnik.1\n")
  message(FATAL_ERROR "Korvath.1 does not lead to Zarnik.1: ${page}")
endif()
file(READ "${PREFIX}/share/doc/seti-logtools/copyright" copyright)
if(NOT copyright MATCHES "^Format: [^\n]*copyright-format/1\\.0/\n.*\nLicense: Expat\n Permission")
  message(FATAL_ERROR "the copyright file is not the licence in Debian's format: ${copyright}")
endif()
# Where man-db is at hand, every page reads without a warning.
find_program(MAN man)
if(MAN)
  foreach(program Zarnik Korvath Brellow Quillet Almanac)
    execute_process(COMMAND "${MAN}" --warnings -l "man1/${program}.1${MAN_SUFFIX}"
      WORKING_DIRECTORY "${PREFIX}/share/man" OUTPUT_QUIET ERROR_VARIABLE warnings)
    if(warnings)
      message(FATAL_ERROR "man --warnings -l ${program}.1${MAN_SUFFIX}: ${warnings}")
    endif()
  endforeach()
endif()
message(STATUS "all five programs installed and run; "
               "image, man pages, README, copyright and changelog in place")
