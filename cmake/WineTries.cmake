# Wine's own messages are off (cmake/wine), so a program Wine fails to start
# ends with a status and no word on either stream: seen once in CI, status 1
# within a hundredth of a second. Every program run under Wine here says
# something whenever it fails, so a run that ends silently with a status
# other than the one expected is one Wine never started. It is tried again,
# at most twice; the log names each try, and a third silent run fails.

# Sets `var` to a command that runs a program (a target's file) with its
# arguments: under the emulator, tried as above, when there is one. It
# passes on the program's output and succeeds on status 0.
function(kelvane_emulated_command var program)
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    string(JOIN "@@" command ${CMAKE_CROSSCOMPILING_EMULATOR} ${program} ${ARGN})
    set(${var} ${CMAKE_COMMAND} "-DCOMMAND=${command}" -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/run_emulated.cmake
        PARENT_SCOPE)
  else()
    set(${var} ${program} ${ARGN} PARENT_SCOPE)
  endif()
endfunction()

function(kelvane_add_emulated_test name program)
  kelvane_emulated_command(command ${program} ${ARGN})
  add_test(NAME ${name} COMMAND ${command})
endfunction()

# In a script: runs the command (a list) in the folder and sets status, out
# and err in the caller's scope; a run is tried again only when `emulated`.
function(kelvane_run_tried expected emulated folder)
  foreach(try RANGE 1 3)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
                    WORKING_DIRECTORY ${folder})
    if(NOT emulated OR NOT out STREQUAL "" OR NOT err STREQUAL "" OR status STREQUAL expected)
      break()
    endif()
    message(STATUS "try ${try}: Wine ended the program with status ${status} and no output")
  endforeach()
  set(status "${status}" PARENT_SCOPE)
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()
