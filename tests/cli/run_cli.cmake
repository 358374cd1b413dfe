cmake_minimum_required(VERSION 3.25)
# Runs the stand-in host program once and checks its exit status, its
# standard error and whether it printed anything on standard output.
#   -DCOMMAND=<program and arguments, separated by @@> -DCODE=<status>
#   [-DSTDERR=<regex>] [-DSTDOUT=<regex> | -DSTDOUT_EMPTY=ON] [-DWORKDIR=<dir>]
if(WORKDIR)
  file(MAKE_DIRECTORY ${WORKDIR})
endif()
string(REPLACE "@@" ";" COMMAND "${COMMAND}")
execute_process(COMMAND ${COMMAND} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
                WORKING_DIRECTORY ${WORKDIR})
set(problems "")
if(NOT status STREQUAL CODE)
  string(APPEND problems "exit status ${status}, expected ${CODE}\n")
endif()
if(DEFINED STDERR AND NOT err MATCHES "${STDERR}")
  string(APPEND problems "standard error does not match ${STDERR}\n")
endif()
if(STDOUT_EMPTY AND NOT out STREQUAL "")
  string(APPEND problems "standard output should be empty\n")
endif()
if(DEFINED STDOUT AND NOT out MATCHES "${STDOUT}")
  string(APPEND problems "standard output does not match ${STDOUT}\n")
endif()
if(problems)
  message(FATAL_ERROR "${problems}--- stdout:\n${out}\n--- stderr:\n${err}")
endif()
