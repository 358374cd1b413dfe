# compare_symbols(<actual list variable> <expected file> <failures variable>):
# appends to the failures what is exported by mistake and what is missing.
function(compare_symbols actual_var expected_file failures_var)
  set(actual ${${actual_var}})
  list(SORT actual)
  file(STRINGS ${expected_file} expected)
  list(SORT expected)
  if(NOT actual STREQUAL expected)
    set(extra ${actual})
    list(REMOVE_ITEM extra ${expected})
    set(missing ${expected})
    list(REMOVE_ITEM missing ${actual})
    set(${failures_var} "${${failures_var}}export surface differs\n  exported by mistake: ${extra}\n  missing: ${missing}\n"
        PARENT_SCOPE)
  endif()
endfunction()
