cmake_minimum_required(VERSION 3.25)
# Runs the host program on a large workspace under a rising limit of address
# space, from too little to start with up to enough for the whole run. Each
# run that starts must end in one of two ways: exit status 2 saying "out of
# memory" with the file it was to save as it was, or exit status 0 with the
# file saved. Never a signal, never a temporary file left behind.
#   -DPROGRAM=<the program> -DWORKDIR=<a folder> -DWORKSPACE=<a large workspace>
# From an empty folder: what a run that was killed left behind is no fault of
# this one.
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
set(target ${WORKDIR}/saved.json)
set(answered 0)
foreach(kib RANGE 4000 200000 3000)
  file(WRITE ${target} "old\n")
  execute_process(COMMAND /bin/sh -c "ulimit -v ${kib} && exec \"$@\"" sh ${PROGRAM} --workspace ${WORKSPACE}
                          --set DoSetMin=1 --set DoSetMinP=1 --set MinP=0.01 --save ${target}
                  RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err WORKING_DIRECTORY ${WORKDIR})
  file(READ ${target} saved)
  file(GLOB leftovers ${WORKDIR}/.Ondrava-saving-*)
  if(leftovers OR NOT (status EQUAL 0 OR status EQUAL 2 OR err MATCHES "error while loading shared libraries"))
    message(FATAL_ERROR "under ${kib} KiB: exit status ${status}, left behind: ${leftovers}\n${err}")
  elseif(status EQUAL 2 AND NOT (err MATCHES "^Ondrava.exe: out of memory" AND saved STREQUAL "old\n"))
    message(FATAL_ERROR "under ${kib} KiB: exit status 2 without \"out of memory\", or the file changed\n${err}")
  elseif(status EQUAL 2)
    math(EXPR answered "${answered} + 1")
  elseif(status EQUAL 0)
    break()
  endif()
endforeach()
if(NOT status EQUAL 0 OR saved STREQUAL "old\n" OR answered LESS 5)
  message(FATAL_ERROR "the runs never reached a saved file, or fewer than 5 ran out of memory (${answered})")
endif()
