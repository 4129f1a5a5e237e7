# The helper's writes to standard output and standard error (Windows only).
if(WIN32)
  add_library(vt_helper_output STATIC output_win.cpp)
  target_include_directories(vt_helper_output PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
endif()
