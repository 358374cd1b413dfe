# Every compiler and linker flag the project sets for all its targets, and the
# functions that add the flags a kind of target needs. Included once, from the
# top-level CMakeLists.txt, before any target is declared.

# Thresholds must come out bit-identical on every build, so no contraction
# into fused multiply-adds and no value-changing optimisations anywhere.
if(MSVC)
  add_compile_options(/W4 /fp:precise /permissive-)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # clang-cl's /fp:precise allows contraction; MSVC's does not.
    add_compile_options(/clang:-ffp-contract=off)
    # Every build of a commit gives the same DLL, byte for byte: /Brepro leaves
    # the clock out of the objects and has lld-link derive the PE time stamp
    # from the content; the source and build folders' paths are cut from
    # anything the compiler writes (__FILE__, debug information); __DATE__ and
    # __TIME__ are errors.
    add_compile_options(/Brepro /clang:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=
                        /clang:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/= /clang:-Werror=date-time)
    add_link_options(/Brepro)
  endif()
  if(KELVANE_WERROR)
    add_compile_options(/WX)
  endif()
else()
  add_compile_options(-Wall -Wextra -Wpedantic -ffp-contract=off)
  if(KELVANE_WERROR)
    add_compile_options(-Werror)
  endif()
endif()

# Sanitizers: KELVANE_SANITIZE names them; a fuzzing build always carries the
# address and undefined-behaviour sanitizers and the fuzzer's coverage. Every
# target gets them, so the code under test and the code driving it agree.
if(KELVANE_SANITIZE OR KELVANE_BUILD_FUZZERS)
  set(kelvane_sanitizers ${KELVANE_SANITIZE})
  if(KELVANE_BUILD_FUZZERS)
    set(kelvane_sanitizers address,undefined)
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
  # The plugin classes carry no run-time type information, which the vptr
  # check needs in the code that calls them.
  add_compile_options(-fsanitize=${kelvane_sanitizers} -fno-sanitize=vptr -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${kelvane_sanitizers} -fno-sanitize=vptr)
endif()

# A libFuzzer program: libFuzzer's main() on top of the sanitizers and the
# coverage every target of a fuzzing build already has.
function(kelvane_fuzzer target)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
endfunction()

# Code that runs inside the host's process: no exceptions may leave it and it
# needs no run-time type information.
function(kelvane_plugin_code target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /GR- /EHs-c-)
  else()
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
  endif()
endfunction()
