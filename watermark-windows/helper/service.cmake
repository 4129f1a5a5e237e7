# VantorelWatermark itself: command line, line codec and service. The decisions are portable
# (vt_helper_service, tested natively); the executable is the Windows adapter over them.
add_library(vt_helper_json STATIC json.cpp)
target_include_directories(vt_helper_json PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vt_helper_json PUBLIC vt_shared)

add_library(vt_helper_service STATIC service.cpp main_mode.cpp)
target_link_libraries(vt_helper_service PUBLIC vt_helper_json vt_helper_devices_core
  vt_helper_install_core vt_shared)

vt_add_gtest(json_tests SOURCES tests/json_test.cpp LIBS vt_helper_json)
vt_add_gtest(main_mode_tests SOURCES tests/main_mode_test.cpp LIBS vt_helper_service)
vt_add_gtest(service_tests SOURCES tests/service_test.cpp LIBS vt_helper_service)

if(WIN32)
  add_executable(VantorelWatermark main.cpp service_win.cpp)
  target_link_libraries(VantorelWatermark PRIVATE vt_helper_service vt_helper_devices
    vt_helper_install vt_helper_installer vt_shared mfplat ole32 shell32)
endif()

# The end-to-end run drives the program under Wine from the Linux side.
if(WIN32 AND CMAKE_CROSSCOMPILING)
  find_package(Python3 COMPONENTS Interpreter REQUIRED)
  add_test(NAME service_e2e
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/service_e2e_test.py
      ${PROJECT_SOURCE_DIR}/cmake/wine-run $<TARGET_FILE:VantorelWatermark>
      ${CMAKE_BINARY_DIR}/wineprefix)
  set_tests_properties(service_e2e PROPERTIES TIMEOUT 120 RESOURCE_LOCK install_dir)
endif()
