cmake_minimum_required(VERSION 3.25)
# Fails each call of operator new in a --json run in turn, once: every run
# answers {"error": {"message": "out of memory"}} alone, with exit status 2.
# The new-handler then finds its reserve, so that nothing else runs short.
#   -DPROGRAM=<the program> -DALLOCATOR=<the failing allocator> -DWORKSPACE=<a workspace>
set(ENV{LD_PRELOAD} ${ALLOCATOR})
set(run ${PROGRAM} --json --workspace ${WORKSPACE} --set DoSetMax=1)
set(ENV{KELVANE_FAIL_ALLOCATIONS} "new 0")
execute_process(COMMAND ${run} RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE calls)
string(STRIP "${calls}" calls)
if(NOT status EQUAL 0 OR NOT calls MATCHES "^[0-9]+$" OR calls LESS 1000)
  message(FATAL_ERROR "the run without a failure: exit status ${status}, ${calls} calls of operator new")
endif()
foreach(call RANGE 1 ${calls})
  set(ENV{KELVANE_FAIL_ALLOCATIONS} "new ${call}")
  execute_process(COMMAND ${run} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(JSON message ERROR_VARIABLE wrong GET "${out}" error message)
  string(JSON members ERROR_VARIABLE wrong LENGTH "${out}")
  if(NOT status EQUAL 2 OR NOT message STREQUAL "out of memory" OR NOT members EQUAL 1)
    message(FATAL_ERROR "call ${call} of ${calls} failed: exit status ${status}\n${out}${err}")
  endif()
endforeach()
