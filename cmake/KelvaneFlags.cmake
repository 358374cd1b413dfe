# Code that runs inside the host's process: no exceptions may leave it and it
# needs no run-time type information.
function(kelvane_plugin_code target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /GR- /EHs-c-)
  else()
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
  endif()
endfunction()
