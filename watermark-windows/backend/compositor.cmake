# Compositor: the portable decisions (picture age, heartbeat, cover rectangle, meter, label, RGB32
# rows) and the WIC/Direct2D/Media Foundation adapter on top of them.
add_library(vt_backend_compositor_core STATIC compositor.cpp)
target_include_directories(vt_backend_compositor_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vt_backend_compositor_core PUBLIC
  vt_backend_capture_core vt_backend_badge_core vt_backend_math vt_shared)

if(WIN32)
  add_library(vt_backend_compositor STATIC compositor_win.cpp)
  target_link_libraries(vt_backend_compositor PUBLIC vt_backend_compositor_core
    vt_backend_capture vt_backend_badge vt_platform d2d1 windowscodecs mfplat mfuuid ole32 uuid)
endif()

vt_add_gtest(compositor_tests
  SOURCES tests/compositor_test.cpp
  LIBS vt_backend_compositor_core)

vt_add_gtest(compositor_win_tests WINDOWS_ONLY
  SOURCES tests/compositor_win_test.cpp
  LIBS vt_backend_compositor vt_backend_test_camera vt_backend_test_png
  TIMEOUT 120)
# Emulated, a frame takes 1.5 s: the frame timing, which checks nothing, would take 94 s alone.
if(VT_EMULATED_ARM64 AND TARGET compositor_win_tests)
  set_tests_properties(compositor_win_tests PROPERTIES TIMEOUT 360
    ENVIRONMENT "GTEST_FILTER=-CompositorTest.FrameTimes")
endif()
