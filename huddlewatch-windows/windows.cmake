# The Windows side of huddlewatch: UI Automation and the window manager behind the portable
# snapshot logic, the program's entry, and the stand-ins and end-to-end run of its tests.
if(NOT WIN32)
  return()
endif()

add_library(hw_uia_win STATIC
  uia/error_win.cpp
  uia/desktop_win.cpp
  uia/automation_win.cpp
)
target_link_libraries(hw_uia_win PUBLIC hw_uia vt_platform ole32 oleaut32 dwmapi)

add_library(hw_main_win STATIC main/input_win.cpp)
target_link_libraries(hw_main_win PUBLIC hw_main)

add_executable(huddlewatch main/main_win.cpp)
target_link_libraries(huddlewatch PRIVATE hw_main_win hw_uia_win shell32)
vt_embed_manifest(huddlewatch)

vt_add_gtest(hw_main_win_test WINDOWS_ONLY SOURCES tests/input_win_test.cpp LIBS hw_main_win)

# Tests that open windows share the desktop with the end-to-end run's meeting windows.
vt_add_gtest(hw_uia_win_test WINDOWS_ONLY SOURCES tests/uia_win_test.cpp LIBS hw_uia_win)
if(VT_TESTS)
  set_tests_properties(hw_uia_win_test PROPERTIES RESOURCE_LOCK hw_desktop)
endif()

if(NOT MINGW OR NOT VT_TESTS)
  return()
endif()

# Test-only stand-ins, never copied into dist/: the UI Automation client object that Wine lacks,
# and a window program that plays zoom.exe, ms-teams.exe and chrome.exe.
add_library(hw_uia_standin SHARED tests/standin/uia_standin.cpp tests/standin/uia_standin.def)
set_target_properties(hw_uia_standin PROPERTIES PREFIX "")
# GCC 12's static libstdc++ and its inline type_info comparison clash in a DLL; it needs no RTTI.
target_compile_options(hw_uia_standin PRIVATE -fno-rtti)
target_link_libraries(hw_uia_standin PRIVATE oleaut32)

add_executable(hw_app_windows tests/standin/app_windows.cpp)
target_link_libraries(hw_app_windows PRIVATE shell32)

# The end-to-end run drives the real program under Wine from the Linux side. It registers the
# stand-in for the test's own time and removes it again.
if(CMAKE_CROSSCOMPILING)
  find_package(Python3 COMPONENTS Interpreter REQUIRED)
  add_test(NAME huddlewatch_e2e
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/huddlewatch_e2e_test.py
      ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:huddlewatch>
      $<TARGET_FILE:hw_uia_standin> $<TARGET_FILE:hw_app_windows>
      ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/fixtures ${CMAKE_CURRENT_BINARY_DIR}/e2e
      ${CMAKE_BINARY_DIR}/wineprefix)
  set_tests_properties(huddlewatch_e2e PROPERTIES TIMEOUT 180 RESOURCE_LOCK hw_desktop)
  # Emulated, a poll beside the Direct2D tests' software rendering takes a few hundred
  # milliseconds more, which the slow window's 300 ms to the poll's deadline cannot spare.
  if(VT_EMULATED_ARM64)
    set_tests_properties(huddlewatch_e2e PROPERTIES RUN_SERIAL TRUE)
  endif()
endif()
