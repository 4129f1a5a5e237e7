# source: the media source and its stream. The state decisions and the output layout are
# portable (tested natively); the COM objects over them compose frames with the compositor.
add_library(vt_backend_source_core STATIC source.cpp)
target_include_directories(vt_backend_source_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vt_backend_source_core PUBLIC vt_backend_math)

vt_add_gtest(source_tests
  SOURCES tests/source_test.cpp
  LIBS vt_backend_source_core)

if(WIN32)
  add_library(vt_backend_source STATIC source_win.cpp)
  target_link_libraries(vt_backend_source PUBLIC vt_backend_source_core vt_backend_compositor
    vt_shared vt_platform mfplat mfuuid ksguid ole32)

  # Real Media Foundation queues and descriptors; frames need Direct2D, so an X display.
  vt_add_gtest(source_win_tests WINDOWS_ONLY
    SOURCES tests/source_win_test.cpp tests/mf_test_support.cpp
    LIBS vt_backend_source
    TIMEOUT 240)
endif()
