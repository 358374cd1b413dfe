cmake_minimum_required(VERSION 3.25)
# Runs a test program under Wine, tried as cmake/WineTries.cmake says, and
# passes on what it printed; fails unless it ended with status 0.
#   -DCOMMAND=<Wine, the program and its arguments, separated by @@>
include(${CMAKE_CURRENT_LIST_DIR}/WineTries.cmake)
string(REPLACE "@@" ";" COMMAND "${COMMAND}")
# A script's current folder is the one the test runs in.
kelvane_run_tried(0 ON ${CMAKE_CURRENT_BINARY_DIR} ${COMMAND})
if(NOT out STREQUAL "" OR NOT err STREQUAL "")
  message("${out}${err}")
endif()
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "exit status ${status}")
endif()
