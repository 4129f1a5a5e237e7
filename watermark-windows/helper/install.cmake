# Installation read checks: portable decisions, and the Windows checks on top of them.
add_library(vt_helper_install_core STATIC install.cpp)
target_include_directories(vt_helper_install_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vt_helper_install_core PUBLIC vt_shared)

if(WIN32)
  add_library(vt_helper_install STATIC install_win.cpp)
  target_link_libraries(vt_helper_install PUBLIC vt_helper_install_core advapi32)
else()
  # Natively only the portable part exists.
  add_library(vt_helper_install INTERFACE)
  target_link_libraries(vt_helper_install INTERFACE vt_helper_install_core)
endif()

vt_add_gtest(install_tests
  SOURCES tests/install_test.cpp
  LIBS vt_helper_install_core)

vt_add_gtest(install_win_tests WINDOWS_ONLY
  SOURCES tests/install_win_test.cpp
  LIBS vt_helper_install
  LOCKS install_dir)
