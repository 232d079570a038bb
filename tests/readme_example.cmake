# Compiles and runs the C example of the README exactly as written there.
file(READ ${README} readme)
string(REGEX MATCH "```c\n(.*)```" block "${readme}")
if(NOT block)
  message(FATAL_ERROR "no ```c block in ${README}")
endif()
string(REGEX REPLACE "^```c\n" "" code "${CMAKE_MATCH_0}")
string(REGEX REPLACE "```.*$" "" code "${code}")
file(WRITE ${WORK_DIR}/readme_example.c "${code}")
execute_process(
  COMMAND ${C_COMPILER} -std=c99 -Wall -Wextra -Werror -pedantic -I${INCLUDE_DIR} ${WORK_DIR}/readme_example.c
          ${LIBRARY} -Wl,-rpath,${LIBRARY_DIR} -o ${WORK_DIR}/readme_example
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the README example does not compile:\n${err}")
endif()
execute_process(COMMAND ${WORK_DIR}/readme_example WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the README example failed (${rc}):\n${out}\n${err}")
endif()
message(STATUS "README example output:\n${out}")
