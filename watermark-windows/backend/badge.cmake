# Watermark badge: portable geometry, and the Direct2D/DirectWrite adapter on top of it.
add_library(vt_backend_badge_core STATIC badge.cpp)
target_include_directories(vt_backend_badge_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vt_backend_badge_core PUBLIC vt_backend_math vt_shared)

vt_add_gtest(badge_tests
  SOURCES tests/badge_test.cpp
  LIBS vt_backend_badge_core)

if(WIN32)
  add_library(vt_backend_badge STATIC badge_win.cpp)
  target_link_libraries(vt_backend_badge PUBLIC vt_backend_badge_core vt_shared d2d1 dwrite)
endif()

if(WIN32 AND VT_TESTS)
  # Test utility for every backend test that leaves a picture to look at.
  add_library(vt_backend_test_png STATIC tests/png_win.cpp)
  target_include_directories(vt_backend_test_png PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/tests)
  target_link_libraries(vt_backend_test_png PUBLIC vt_shared windowscodecs ole32)

  vt_add_gtest(badge_win_tests WINDOWS_ONLY
    SOURCES tests/badge_win_test.cpp
    LIBS vt_backend_badge vt_backend_test_png d2d1 dwrite windowscodecs ole32 uuid)
endif()
