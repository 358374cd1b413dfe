cmake_minimum_required(VERSION 3.25)
# How a run under Wine is tried: a stand-in for Wine that stays silent with
# status 1 a given number of times before it runs the program, and programs
# that succeed, fail with a word, or fail silently.
#   -DSOURCE_DIR=<project> -DWORK=<folder>
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/wine.sh [=[
n=$(cat count 2>/dev/null || echo 0)
echo $((n + 1)) >count
[ "$n" -lt "$SILENT" ] && exit 1
exec "$@"
]=])
# silent starts | program | emulated | runs | status | output
set(cases
    "0|echo done|ON|1|0|done"
    "2|echo done|ON|3|0|done"
    "3|echo done|ON|3|1|"
    "0|echo broken && exit 2|ON|1|2|broken"
    "0|echo broken >&2 && exit 2|ON|1|2|"
    "0|true|ON|1|0|"
    "0|exit 3|ON|3|3|"
    "1|echo done|OFF|1|1|")
include(${SOURCE_DIR}/cmake/WineTries.cmake)
set(failures "")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 silent)
  list(GET fields 1 program)
  list(GET fields 2 emulated)
  list(GET fields 3 runs)
  list(GET fields 4 expected_status)
  list(GET fields 5 expected_out)
  file(REMOVE ${WORK}/count)
  set(ENV{SILENT} ${silent})
  kelvane_run_tried(0 ${emulated} ${WORK} sh wine.sh sh -c "${program}")
  file(READ ${WORK}/count count)
  string(STRIP "${count}" count)
  string(STRIP "${out}" out)
  if(NOT count EQUAL runs OR NOT status STREQUAL expected_status OR NOT out STREQUAL expected_out)
    string(APPEND failures "${case}: ${count} runs, status ${status}, output \"${out}\"\n")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
