# Pixel and animation arithmetic: portable, tested natively and under Wine. Each vector form of
# the conversion compiles to nothing on other architectures and asks for its instruction set
# per function, so the library needs no architecture flags.
add_library(vt_backend_math STATIC
  math.cpp
  math_nv12.cpp
  math_sse2.cpp
  math_avx2.cpp
  math_neon.cpp
)
target_include_directories(vt_backend_math PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
if(MINGW AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64")
  # mingw-w64's GCC keeps the stack aligned to 16 bytes only; should a 32-byte AVX2 value ever be
  # spilled, unaligned moves keep that from faulting.
  target_compile_options(vt_backend_math PRIVATE -Wa,-muse-unaligned-vector-move)
endif()

if(WIN32)
  set(VT_MATH_GUARD tests/math_guarded_memory_win.cpp)
else()
  set(VT_MATH_GUARD tests/math_guarded_memory_posix.cpp)
endif()
# Whole frames through the scalar form take a while in the unoptimised sanitizer build.
vt_add_gtest(math_tests SOURCES tests/math_test.cpp ${VT_MATH_GUARD} LIBS vt_backend_math TIMEOUT 300)

# The conversion against libyuv and memcpy, native builds only (not cross or sanitizer builds);
# libyuv is linked into nothing else.
if(NOT WIN32 AND NOT VT_SANITIZE AND NOT CMAKE_CROSSCOMPILING)
  find_package(benchmark QUIET)
  find_path(VT_LIBYUV_INCLUDE libyuv.h)
  find_library(VT_LIBYUV yuv)
  if(benchmark_FOUND AND VT_LIBYUV_INCLUDE AND VT_LIBYUV)
    add_executable(vt_nv12_benchmark bench/nv12_benchmark.cpp)
    target_include_directories(vt_nv12_benchmark PRIVATE ${VT_LIBYUV_INCLUDE})
    target_link_libraries(vt_nv12_benchmark PRIVATE vt_backend_math ${VT_LIBYUV} benchmark::benchmark)
  endif()
endif()
