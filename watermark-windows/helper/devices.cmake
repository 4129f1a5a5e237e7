# Camera devices: portable decisions, and the Media Foundation adapter on top of them.
add_library(vt_helper_devices_core STATIC devices.cpp)
target_include_directories(vt_helper_devices_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vt_helper_devices_core PUBLIC vt_shared)

if(WIN32)
  add_library(vt_helper_devices STATIC devices_win.cpp)
  target_link_libraries(vt_helper_devices PUBLIC vt_helper_devices_core vt_platform vt_delayed_mfplat vt_delayed_mf mfuuid ole32 uuid)
else()
  # Natively only the portable part exists.
  add_library(vt_helper_devices INTERFACE)
  target_link_libraries(vt_helper_devices INTERFACE vt_helper_devices_core)
endif()

vt_add_gtest(devices_tests
  SOURCES tests/devices_test.cpp
  LIBS vt_helper_devices_core)

vt_add_gtest(devices_win_tests WINDOWS_ONLY
  SOURCES tests/devices_win_test.cpp
  LIBS vt_helper_devices)
