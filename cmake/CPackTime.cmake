# Read by cpack before it makes each package (CPACK_PROJECT_CONFIG_FILE). The packages honour
# SOURCE_DATE_EPOCH: their files carry that time, and the strip of a Windows program writes it
# into the program's header. Where it is not set, the time of the tree's last commit is taken,
# so two builds of one commit give the same packages; outside a git tree the time of the
# packaging is used.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  find_program(SETI_GIT git)
  if(SETI_GIT)
    execute_process(COMMAND "${SETI_GIT}" -C "${CPACK_SETI_SOURCE_DIR}" log -1 --format=%ct
      RESULT_VARIABLE status OUTPUT_VARIABLE epoch ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(status EQUAL 0 AND epoch MATCHES "^[0-9]+$")
      set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
    endif()
  endif()
endif()
