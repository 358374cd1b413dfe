cmake_minimum_required(VERSION 3.25)
# Installs into a fresh folder and runs the installed stand-in host there: the
# plugin folder must hold the module, its dialog script and its help page,
# with the host under bin/ finding the module on its own.
#   -DBUILD_DIR=<build tree> -DPREFIX=<empty folder to install into> -DMODULE_NAME=Kelvane.so
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} RESULT_VARIABLE status
                OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(file ${MODULE_NAME} Kelvane.js HelpFolder/index.html bin/Ondrava.exe)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "the installed plugin folder lacks ${file}")
  endif()
endforeach()
execute_process(COMMAND ${PREFIX}/bin/Ondrava.exe RESULT_VARIABLE status OUTPUT_VARIABLE out)
if(NOT status EQUAL 0 OR NOT out MATCHES "Kelvane>  Finished!" OR NOT out MATCHES "${PREFIX}/${MODULE_NAME}")
  message(FATAL_ERROR "the installed host did not run the installed module:\n${out}")
endif()
