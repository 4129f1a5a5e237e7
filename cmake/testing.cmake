# Test registration shared by every component.
#
# GoogleTest is built from Debian's source package so that the native, sanitizer and
# mingw builds each get a copy compiled with their own compiler and flags.
enable_testing()

# On Windows an installed GoogleTest is used when there is one; without it the deliverables
# still build and the tests are left out. Every block of a component that makes or names a test
# target, a test-only stand-in or a ctest entry stands under if(VT_TESTS).
# The native Linux builds exist for their tests, so their presets set VT_REQUIRE_TESTS, and a
# missing GoogleTest is an error there.
option(VT_REQUIRE_TESTS "Fail to configure when GoogleTest is missing" OFF)
set(VT_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(VT_TESTS OFF)
if(EXISTS ${VT_GTEST_SOURCE}/CMakeLists.txt)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  # The same static C++ runtime as the deliverables (see the root CMakeLists.txt).
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  add_subdirectory(${VT_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  set(VT_TESTS ON)
else()
  find_package(GTest CONFIG QUIET)
  if(GTest_FOUND)
    set(VT_TESTS ON)
  elseif(VT_REQUIRE_TESTS)
    message(FATAL_ERROR "GoogleTest not found (neither ${VT_GTEST_SOURCE} nor an installed "
      "package): this build is for its tests (Debian packages googletest, libgtest-dev)")
  else()
    message(STATUS "GoogleTest not found: tests are not built")
  endif()
endif()

# Windows test programs end as the programs do (see the file).
set(VT_TEST_MAIN_WIN ${CMAKE_CURRENT_LIST_DIR}/test_main_win.cpp)

# The Windows ARM64 build's tests run here under Debian's arm64 Wine through qemu-aarch64
# (cmake/wine-run-arm64), emulated: Direct2D draws through software OpenGL that qemu runs too, at
# about 2 s a 1280 x 720 frame against 40 ms under the x64 Wine. What cannot hold there is left
# to the x64 run where the test is registered.
if(WIN32 AND CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
  set(VT_EMULATED_ARM64 ON)
else()
  set(VT_EMULATED_ARM64 OFF)
endif()

# vt_add_gtest(NAME SOURCES file... [LIBS lib...] [LOCKS lock...] [TIMEOUT s] [WINDOWS_ONLY])
#
# One ctest entry per executable: under Wine every process start is expensive, so all cases
# of one executable run in one process. LOCKS names resources (the install folder of the
# Wine prefix, for example) that tests of different executables must not touch at once.
function(vt_add_gtest name)
  cmake_parse_arguments(ARG "WINDOWS_ONLY" "TIMEOUT" "SOURCES;LIBS;LOCKS" ${ARGN})
  if((ARG_WINDOWS_ONLY AND NOT WIN32) OR NOT VT_TESTS)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  if(WIN32)
    target_sources(${name} PRIVATE ${VT_TEST_MAIN_WIN})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest)
  else()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LOCKS)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${ARG_LOCKS}")
  endif()
endfunction()
