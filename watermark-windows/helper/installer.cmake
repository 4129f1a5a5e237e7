# install, write side: the elevated installer and the launch of its elevated copy.
add_library(vt_helper_installer STATIC install_setup.cpp)
target_include_directories(vt_helper_installer PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vt_helper_installer PUBLIC vt_helper_install vt_shared)
if(WIN32)
  target_sources(vt_helper_installer PRIVATE install_setup_win.cpp)
  target_link_libraries(vt_helper_installer PUBLIC vt_helper_signature vt_helper_output advapi32
    shell32)
endif()

vt_add_gtest(installer_tests
  SOURCES tests/installer_test.cpp
  LIBS vt_helper_installer)

if(WIN32 AND VT_TESTS)
  # Starts install::install or, with --install-elevated, install_elevated, as the helper does,
  # so that the elevated relaunch of a real executable can be tested.
  add_executable(installer_test_program tests/installer_test_program.cpp)
  target_link_libraries(installer_test_program PRIVATE vt_helper_installer)

  vt_add_gtest(installer_win_tests WINDOWS_ONLY
    SOURCES tests/installer_win_test.cpp
    LIBS vt_helper_installer
    LOCKS install_dir
    TIMEOUT 180)
  target_compile_definitions(installer_win_tests PRIVATE
    "VT_SIGNED_DIR=\"${VT_SIGNED_DIR_WINE}\""
    "VT_TEST_PROGRAM=\"$<TARGET_FILE_NAME:installer_test_program>\"")
  add_dependencies(installer_win_tests installer_test_program signature_test_dll1
    signature_test_dll2)
  set_tests_properties(installer_win_tests PROPERTIES FIXTURES_REQUIRED vt_signed_dlls)
  # The tests ship DLLs beside their executable, where the installer takes them from: a
  # folder of their own keeps them away from other programs of this build.
  set_target_properties(installer_win_tests installer_test_program PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/installer)
endif()
