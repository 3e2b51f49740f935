# cmake -DVERSION= -DGIT= -DSOURCE_DIR= -DOUTPUT= -P write_version.cmake
set(revision unknown)
if(GIT)
  execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-parse --show-toplevel --short=7 HEAD
                  OUTPUT_VARIABLE lines RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  string(REPLACE "\n" ";" lines "${lines}")
  list(POP_FRONT lines top head)
  if(rc EQUAL 0 AND head MATCHES "^[0-9a-f]+$")
    file(REAL_PATH "${top}" top)
    file(REAL_PATH "${SOURCE_DIR}" source)
  endif()
  # Only the source tree's own repository: a tarball unpacked inside another one is not in git.
  if(rc EQUAL 0 AND head MATCHES "^[0-9a-f]+$" AND top STREQUAL source)
    set(revision ${head})
    # Tracked files changed since that commit: the build is not that revision.
    execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} status --porcelain --untracked-files=no
                    OUTPUT_VARIABLE changes RESULT_VARIABLE rc ERROR_QUIET)
    if(rc EQUAL 0 AND NOT changes STREQUAL "")
      string(APPEND revision "-dirty")
    endif()
  endif()
endif()
file(CONFIGURE OUTPUT ${OUTPUT} CONTENT [[#pragma once
#define CDMADIAG_VERSION "@VERSION@"
#define CDMADIAG_GIT_REVISION "@revision@"
]] @ONLY)
