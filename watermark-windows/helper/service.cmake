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
    vt_helper_install vt_helper_installer vt_helper_output vt_shared vt_delayed_mfplat ole32
    shell32)
  vt_delay_load(VantorelWatermark)
  vt_embed_manifest(VantorelWatermark)
endif()

if(WIN32 AND VT_TESTS)
  # Drives the real program through pipes made on the Windows side.
  vt_add_gtest(service_win_tests WINDOWS_ONLY
    SOURCES tests/service_win_test.cpp
    LIBS vt_shared
    LOCKS install_dir)
  target_compile_definitions(service_win_tests PRIVATE
    "VT_HELPER_EXE=\"$<TARGET_FILE_NAME:VantorelWatermark>\"")
  add_dependencies(service_win_tests VantorelWatermark)
endif()

# The end-to-end run drives the program under Wine from the Linux side.
if(WIN32 AND CMAKE_CROSSCOMPILING AND VT_TESTS)
  find_package(Python3 COMPONENTS Interpreter REQUIRED)
  add_test(NAME service_e2e
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/service_e2e_test.py
      ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:VantorelWatermark>
      ${CMAKE_BINARY_DIR}/wineprefix)
  # The scripts share a module beside them; its compiled copy is kept out of the sources.
  set_tests_properties(service_e2e PROPERTIES TIMEOUT 120 RESOURCE_LOCK install_dir
    ENVIRONMENT PYTHONDONTWRITEBYTECODE=1)
endif()

# A DLL planted beside the program never loads: stand-ins under the delay-loaded names beside a
# copy of the program are passed over (that its import table names only KnownDLLs is checked
# with the images, cmake/pe/).
if(WIN32 AND CMAKE_CROSSCOMPILING AND VT_TESTS)
  foreach(name ${VT_DELAYED_DLLS})
    add_library(planted_${name} SHARED tests/planted_dll.cpp)
    set_target_properties(planted_${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name}
      LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/planted
      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/planted)
  endforeach()
  add_test(NAME dll_search
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/dll_search_test.py
      $<TARGET_FILE:VantorelWatermark> ${CMAKE_CROSSCOMPILING_EMULATOR}
      ${CMAKE_BINARY_DIR}/wineprefix ${CMAKE_CURRENT_BINARY_DIR}/planted ${VT_SIGNED_DIR})
  set_tests_properties(dll_search PROPERTIES TIMEOUT 120 RESOURCE_LOCK install_dir
    FIXTURES_REQUIRED vt_signed_dlls ENVIRONMENT PYTHONDONTWRITEBYTECODE=1)
endif()

# Without the delay-loaded DLLs (Media Foundation is missing from Windows N editions) the service
# and the one-shot modes run and report (that every delay import has its stand-in is checked
# with the images, cmake/pe/).
if(WIN32 AND CMAKE_CROSSCOMPILING AND VT_TESTS)
  add_test(NAME missing_dlls
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/missing_dlls_test.py
      $<TARGET_FILE:VantorelWatermark> ${CMAKE_CROSSCOMPILING_EMULATOR}
      ${CMAKE_BINARY_DIR}/wineprefix ${VT_SIGNED_DIR})
  set_tests_properties(missing_dlls PROPERTIES TIMEOUT 180 RESOURCE_LOCK install_dir
    FIXTURES_REQUIRED vt_signed_dlls ENVIRONMENT PYTHONDONTWRITEBYTECODE=1)
endif()
