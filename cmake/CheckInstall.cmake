# Test script: installs a finished build into a scratch prefix and checks that each of the four
# programs is there and runs (with no argument each prints its usage and exits with status 0).
# Called by ctest with -DBUILD_DIR=<build tree> -DPREFIX=<scratch prefix>.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${output}")
endif()
file(MAKE_DIRECTORY "${PREFIX}/run")
foreach(program Zarnik Korvath Brellow Quillet)
  set(installed "${PREFIX}/bin/${program}")
  if(NOT EXISTS "${installed}")
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
  execute_process(COMMAND "${installed}" WORKING_DIRECTORY "${PREFIX}/run"
    RESULT_VARIABLE status OUTPUT_VARIABLE usage ERROR_QUIET)
  if(NOT status EQUAL 0 OR NOT usage MATCHES "1\\.00")
    message(FATAL_ERROR "${installed} did not print its usage (status ${status}): ${usage}")
  endif()
endforeach()
file(GLOB written "${PREFIX}/run/*")
if(written)
  message(FATAL_ERROR "a program run without arguments wrote files: ${written}")
endif()
message(STATUS "all four programs installed and run")
