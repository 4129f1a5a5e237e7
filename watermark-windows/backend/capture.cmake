# Capture thread: the portable decisions (native type, row copies, the thread's cycle) and the
# Media Foundation adapter on top of them.
add_library(vt_backend_capture_core STATIC capture.cpp)
target_include_directories(vt_backend_capture_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vt_backend_capture_core PUBLIC vt_shared vt_backend_math)

if(WIN32)
  add_library(vt_backend_capture STATIC capture_win.cpp)
  target_link_libraries(vt_backend_capture PUBLIC vt_backend_capture_core vt_platform
    mfreadwrite mf mfplat mfuuid ole32 uuid)
endif()

vt_add_gtest(capture_tests
  SOURCES tests/capture_test.cpp
  LIBS vt_backend_capture_core)


if(WIN32 AND VT_TESTS)
  # Test utilities of the backend's Windows tests: the stand-in camera and a state file of the
  # test's own.
  add_library(vt_backend_test_camera STATIC tests/fake_camera_win.cpp tests/state_file_win.cpp)
  target_include_directories(vt_backend_test_camera PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/tests)
  target_link_libraries(vt_backend_test_camera PUBLIC vt_shared mfplat mfuuid ole32 uuid)
endif()

vt_add_gtest(capture_win_tests WINDOWS_ONLY
  SOURCES tests/capture_win_test.cpp
  LIBS vt_backend_capture vt_backend_test_camera
  TIMEOUT 60)
