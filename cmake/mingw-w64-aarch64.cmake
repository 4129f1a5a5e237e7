# Cross build for Windows on ARM64 with Debian's clang 19 and lld 19, over the runtime that
# tools/arm64-toolchain builds from Debian's sources: the mingw-w64 CRT, compiler-rt's builtins,
# libunwind, libc++abi and libc++, all static, so that the programs import system DLLs only, as
# the x64 build's do.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(VT_ARM64_TARGET aarch64-w64-mingw32)

# tools/arm64-toolchain reads this line for its own default.
set(VT_ARM64_TOOLCHAIN_DEFAULT /var/cache/vantorel/arm64-windows-toolchain)
set(toolchain ${VT_ARM64_TOOLCHAIN_DEFAULT})
if(DEFINED ENV{VT_ARM64_TOOLCHAIN})
  set(toolchain $ENV{VT_ARM64_TOOLCHAIN})
endif()
set(VT_ARM64_TOOLCHAIN ${toolchain} CACHE PATH
  "The aarch64-w64-mingw32 runtime built by tools/arm64-toolchain")
unset(toolchain)
# CMake's compiler checks read this file again in projects of their own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VT_ARM64_TOOLCHAIN)
# The stamp is written last, once everything else is in place.
if(NOT EXISTS ${VT_ARM64_TOOLCHAIN}/stamp)
  message(FATAL_ERROR "No ARM64 Windows toolchain in ${VT_ARM64_TOOLCHAIN}: run "
    "tools/arm64-toolchain (with VT_ARM64_TOOLCHAIN set to build it elsewhere)")
endif()

set(CMAKE_C_COMPILER clang-19)
set(CMAKE_CXX_COMPILER clang++-19)
set(CMAKE_C_COMPILER_TARGET ${VT_ARM64_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${VT_ARM64_TARGET})
set(CMAKE_SYSROOT ${VT_ARM64_TOOLCHAIN}/sysroot)
# Debian's clang resource folder has no Windows builtins; the toolchain's own has them.
set(CMAKE_C_FLAGS_INIT "-resource-dir=${VT_ARM64_TOOLCHAIN}/resource")
set(CMAKE_CXX_FLAGS_INIT "-resource-dir=${VT_ARM64_TOOLCHAIN}/resource -stdlib=libc++")
# /usr/bin/ld.lld may be an older lld than the compiler's.
set(link_flags "-rtlib=compiler-rt -stdlib=libc++ -unwindlib=libunwind --ld-path=/usr/bin/ld.lld-19")
set(CMAKE_EXE_LINKER_FLAGS_INIT ${link_flags})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${link_flags})
set(CMAKE_MODULE_LINKER_FLAGS_INIT ${link_flags})
unset(link_flags)

set(CMAKE_AR /usr/bin/llvm-ar-19)
set(CMAKE_RANLIB /usr/bin/llvm-ranlib-19)
set(CMAKE_NM /usr/bin/llvm-nm-19)
set(CMAKE_DLLTOOL /usr/bin/llvm-dlltool-19)
set(CMAKE_RC_COMPILER /usr/bin/llvm-windres-19)
set(CMAKE_RC_FLAGS_INIT "--target=${VT_ARM64_TARGET}")

set(CMAKE_FIND_ROOT_PATH ${CMAKE_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The runner that starts ARM64 test programs comes separately; until it is there, ctest has
# nothing to start them with.
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/wine-run-arm64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run-arm64)
endif()
