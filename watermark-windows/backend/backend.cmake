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
endif()

if(WIN32 AND VT_TESTS)
  vt_add_gtest(activate_win_tests WINDOWS_ONLY
    SOURCES tests/activate_win_test.cpp tests/mf_test_support.cpp
    LIBS vt_backend_activate
    TIMEOUT 240)

  # Replaces operator new to make memory run out on demand: a program of its own, with the
  # exports compiled in (the DLL's allocations would not reach the replacement).
  vt_add_gtest(backend_out_of_memory_tests WINDOWS_ONLY
    SOURCES tests/out_of_memory_win_test.cpp tests/mf_test_support.cpp backend_win.cpp
    LIBS vt_backend_activate vt_backend_test_camera
    TIMEOUT 240)
  # Under the emulated arm64 Wine the program's thread reaches the replaced operator new with x18,
  # the register that holds its TEB, cleared, so the thread-local read there faults; nothing in
  # the image writes x18. Left to the x64 run.
  if(VT_EMULATED_ARM64 AND TARGET backend_out_of_memory_tests)
    set_tests_properties(backend_out_of_memory_tests PROPERTIES DISABLED TRUE)
  endif()

  # Goes through the built DLL, which lies beside the test executable.
  vt_add_gtest(backend_win_tests WINDOWS_ONLY
    SOURCES tests/backend_win_test.cpp tests/mf_test_support.cpp
    LIBS vt_shared vt_platform mfplat mfuuid ole32)
  add_dependencies(backend_win_tests VantorelVirtualCameraBackend)

  # Frees the built DLL while its capture thread runs: a process of its own, since the library
  # stays loaded from then on. The state file of the install folder is read, not written.
  vt_add_gtest(backend_unload_tests WINDOWS_ONLY
    SOURCES tests/backend_unload_test.cpp tests/mf_test_support.cpp
    LIBS vt_shared vt_platform mfplat mfuuid ole32
    LOCKS install_dir
    TIMEOUT 30)
  add_dependencies(backend_unload_tests VantorelVirtualCameraBackend)

  # Test-only stand-in for the camera proxy DLL; the end-to-end test installs it under the
  # proxy's name. Never a deliverable.
  add_library(camera_proxy_stub SHARED tests/camera_proxy_stub.cpp tests/camera_proxy_stub.def)
  set_target_properties(camera_proxy_stub PROPERTIES PREFIX "")
  target_link_libraries(camera_proxy_stub PRIVATE vt_shared)

  # The frame server's side of the end-to-end run, in a folder of its own so that nothing of
  # the build lies beside it.
  add_executable(camera_e2e_client tests/camera_e2e_client.cpp)
  target_link_libraries(camera_e2e_client PRIVATE vt_backend_badge_core vt_backend_test_png
    vt_shared mfplat mfuuid ole32)
  set_target_properties(camera_e2e_client PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/camera_e2e)

  if(CMAKE_CROSSCOMPILING)
    find_package(Python3 COMPONENTS Interpreter REQUIRED)

    # Signed with the certificates that the signature tests make; the frames it reads are saved
    # as pictures beside those of the compositor tests.
    get_directory_property(vt_signed_dir DIRECTORY ${PROJECT_SOURCE_DIR}/watermark-windows/helper
      DEFINITION VT_SIGNED_DIR)
    add_test(NAME camera_e2e
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/camera_e2e_test.py
        ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:VantorelWatermark>
        $<TARGET_FILE:VantorelVirtualCameraBackend> $<TARGET_FILE:camera_proxy_stub>
        $<TARGET_FILE:camera_e2e_client> ${vt_signed_dir}/pki ${CMAKE_BINARY_DIR}/wineprefix
        ${CMAKE_CURRENT_BINARY_DIR}/camera_e2e ${CMAKE_CURRENT_BINARY_DIR})
    set_tests_properties(camera_e2e PROPERTIES TIMEOUT 300 RESOURCE_LOCK install_dir
      FIXTURES_REQUIRED vt_signed_dlls)
  endif()
endif()
