# VantorelVirtualCameraBackend.dll: the root module (exports and class factory) and the
# activation object over the media source.
if(WIN32)
  add_library(vt_backend_activate STATIC activate_win.cpp)
  target_include_directories(vt_backend_activate PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(vt_backend_activate PUBLIC vt_backend_source vt_shared mfplat mfuuid)

  # Exactly the two exports of the .def file, nothing else.
  add_library(VantorelVirtualCameraBackend SHARED backend_win.cpp backend.def)
  target_link_libraries(VantorelVirtualCameraBackend PRIVATE vt_backend_activate vt_shared)
  set_target_properties(VantorelVirtualCameraBackend PROPERTIES PREFIX "" IMPORT_PREFIX "")

  vt_add_gtest(activate_win_tests WINDOWS_ONLY
    SOURCES tests/activate_win_test.cpp tests/mf_test_support.cpp
    LIBS vt_backend_activate
    TIMEOUT 240)

  # Goes through the built DLL, which lies beside the test executable.
  vt_add_gtest(backend_win_tests WINDOWS_ONLY
    SOURCES tests/backend_win_test.cpp tests/mf_test_support.cpp
    LIBS vt_shared vt_platform mfplat mfuuid ole32)
  add_dependencies(backend_win_tests VantorelVirtualCameraBackend)

  # Test-only stand-in for the camera proxy DLL; the end-to-end test installs it under the
  # proxy's name. Never a deliverable.
  add_library(camera_proxy_stub SHARED tests/camera_proxy_stub.cpp tests/camera_proxy_stub.def)
  set_target_properties(camera_proxy_stub PROPERTIES PREFIX "")
  target_link_libraries(camera_proxy_stub PRIVATE vt_shared)

  if(CMAKE_CROSSCOMPILING)
    find_package(Python3 COMPONENTS Interpreter REQUIRED)
    add_test(NAME backend_exports
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/exports_test.py
        ${CMAKE_OBJDUMP} $<TARGET_FILE:VantorelVirtualCameraBackend>)
  endif()
endif()
