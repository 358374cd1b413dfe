cmake_minimum_required(VERSION 3.25)
# Runs the sessions of README.md and docs/*.md with cram, on copies, so that
# cram's .err files stay out of the source tree.
#   -DCRAM=<cram> -DSOURCE_DIR=<repository> -DPROGRAM_DIR=<folder of Ondrava.exe> -DWORK=<dir>
# With KELVANE_RECORD_SESSIONS=1 in the environment the pages themselves first
# take the program's present output (cram -i -y), and are then run as usual.
set(ENV{PATH} "${PROGRAM_DIR}:$ENV{PATH}")
set(ENV{KELVANE_EXAMPLES} "${SOURCE_DIR}/examples")
set(shell ${CMAKE_CURRENT_LIST_DIR}/session_shell)
file(GLOB pages RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/README.md ${SOURCE_DIR}/docs/*.md)
if("$ENV{KELVANE_RECORD_SESSIONS}")
  execute_process(COMMAND ${CRAM} -i -y --shell=${shell} ${pages} WORKING_DIRECTORY ${SOURCE_DIR})
endif()
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/docs)
foreach(page ${pages})
  file(COPY_FILE ${SOURCE_DIR}/${page} ${WORK}/${page})
endforeach()
execute_process(COMMAND ${CRAM} --shell=${shell} ${pages} WORKING_DIRECTORY ${WORK} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "a page's session does not show what the program prints (the diff above; "
                      "KELVANE_RECORD_SESSIONS=1 ctest --preset ci -R Docs takes the new output)")
endif()
