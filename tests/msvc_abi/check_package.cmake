cmake_minimum_required(VERSION 3.25)
# Builds the release package from this build tree into a fresh folder, unpacks
# it, checks that it holds the plugin folder and nothing else, and runs the
# MSVC-ABI host against the DLL inside it.
#   -DCPACK=<cpack> -DBUILD_DIR=<build tree> -DWORK=<empty folder> -DVERSION=<x.y>
#   -DEMULATOR=<wine64> -DHOST=<Ondrava.exe> -DSOURCE_DIR=<source tree>
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CPACK} -G ZIP -B ${WORK}/out WORKING_DIRECTORY ${BUILD_DIR} RESULT_VARIABLE status
                OUTPUT_VARIABLE out ERROR_VARIABLE out)
set(zip ${WORK}/out/Kelvane-${VERSION}-win64.zip)
if(NOT status EQUAL 0 OR NOT EXISTS ${zip})
  message(FATAL_ERROR "cpack did not make ${zip}:\n${out}")
endif()
file(MAKE_DIRECTORY ${WORK}/unpacked)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${zip} WORKING_DIRECTORY ${WORK}/unpacked RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${zip}")
endif()
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${WORK}/unpacked ${WORK}/unpacked/*)
list(SORT files)
set(expected Kelvane/HelpFolder/index.html Kelvane/Kelvane.dll Kelvane/Kelvane.js)
if(NOT files STREQUAL expected)
  message(FATAL_ERROR "the package holds ${files}; expected exactly ${expected}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SOURCE_DIR}/Kelvane.js ${WORK}/unpacked/Kelvane/Kelvane.js
                RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "the packaged Kelvane.js differs from the source")
endif()
file(READ ${WORK}/unpacked/Kelvane/HelpFolder/index.html page)
if(NOT page MATCHES "<table class=\"thresholds\">")
  message(FATAL_ERROR "the packaged help page has no threshold table")
endif()
foreach(case whole_run old_host destructor_lines)
  execute_process(COMMAND ${EMULATOR} ${HOST} ${WORK}/unpacked/Kelvane/Kelvane.dll ${case} RESULT_VARIABLE status
                  OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the packaged DLL fails ${case}:\n${out}")
  endif()
endforeach()
message(STATUS "the package holds ${files}; its DLL passes the MSVC-ABI host")
