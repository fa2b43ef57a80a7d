# Writes OUTPUT, a header defining VEQ_SOURCE_REVISION as the short git revision of SOURCE_DIR
# ("" outside a git checkout), touching the file only when its text changes.
execute_process(COMMAND git -C "${SOURCE_DIR}" rev-parse --short HEAD
                OUTPUT_VARIABLE revision OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE status ERROR_QUIET)
if(NOT status EQUAL 0)
  set(revision "")
endif()
set(text "#pragma once\n#define VEQ_SOURCE_REVISION \"${revision}\"\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" previous)
endif()
if(NOT "${previous}" STREQUAL "${text}")
  file(WRITE "${OUTPUT}" "${text}")
endif()
