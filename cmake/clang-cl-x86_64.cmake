# The shipping build: Kelvane.dll in the Microsoft C++ ABI, which the host
# (built with MSVC) requires, made on Linux with clang-cl and lld-link. Wine's
# development files stand in for the Windows SDK and the Universal C runtime;
# libc++'s headers serve the header-only parts of the C++ library the module
# uses. There is no compiled C++ library for this target, so only code that
# needs none is built here (KELVANE_UCRT_ONLY). Programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(CMAKE_C_COMPILER clang-cl-19)
set(CMAKE_CXX_COMPILER clang-cl-19)
set(CMAKE_LINKER lld-link-19)
set(CMAKE_AR llvm-lib-19)
set(CMAKE_RC_COMPILER llvm-rc-19)
set(CMAKE_MT llvm-mt-19)
set(CMAKE_C_COMPILER_TARGET x86_64-pc-windows-msvc)
set(CMAKE_CXX_COMPILER_TARGET x86_64-pc-windows-msvc)

set(KELVANE_UCRT_ONLY ON)
set(KELVANE_WINE_INCLUDE /usr/include/wine/wine)
set(KELVANE_WINE_LIBRARIES /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
set(KELVANE_LIBCXX_INCLUDE /usr/lib/llvm-19/include/c++/v1)

# libc++ must be searched before Wine's C headers, and -imsvc would put it
# behind clang's own; the shim between them gives libc++ the math functions
# that Microsoft's headers declare and Wine's do not.
#   _UCRT: Wine's headers in Universal C runtime mode (its msvcrt mode maps
#     vsnprintf to _vsnprintf, which leaves a full buffer unterminated).
#   _LIBCPP_NO_VCRUNTIME: there is no vcruntime; <new> declares its own types.
#   _LIBCPP_DISABLE_VISIBILITY_ANNOTATIONS: nothing of libc++ comes from a DLL.
#   _InterlockedCompareExchange128: Wine 8's winnt.h defines a function of
#     that name, which clang treats as a builtin.
set(kelvane_msvc_abi_flags
    "-D_UCRT -D_LIBCPP_NO_VCRUNTIME -D_LIBCPP_DISABLE_VISIBILITY_ANNOTATIONS"
    "-D_InterlockedCompareExchange128=kelvane_wine_InterlockedCompareExchange128"
    "/clang:-isystem${KELVANE_LIBCXX_INCLUDE}"
    "/clang:-isystem${CMAKE_CURRENT_LIST_DIR}/msvc-abi/include"
    "-imsvc ${KELVANE_WINE_INCLUDE}/msvcrt -imsvc ${KELVANE_WINE_INCLUDE}/windows")
string(JOIN " " kelvane_msvc_abi_flags ${kelvane_msvc_abi_flags})
set(CMAKE_C_FLAGS_INIT "${kelvane_msvc_abi_flags}")
set(CMAKE_CXX_FLAGS_INIT "${kelvane_msvc_abi_flags}")

# Only Windows' own DLLs at run time: the Universal C runtime and KERNEL32.
# Wine's import libraries are MinGW-style lib*.a archives, which lld-link reads.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "/nodefaultlib /manifest:no /libpath:${KELVANE_WINE_LIBRARIES}")
endforeach()
set(CMAKE_C_STANDARD_LIBRARIES "libucrtbase.a libkernel32.a" CACHE STRING "")
set(CMAKE_CXX_STANDARD_LIBRARIES "libucrtbase.a libkernel32.a" CACHE STRING "")

# The compiler checks would link a program with Visual Studio's runtime.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# Programs run under Wine, with the settings in cmake/wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine)
