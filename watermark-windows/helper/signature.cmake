# signature: the Authenticode check of the camera DLLs.
add_library(vt_helper_signature STATIC signature.cpp)
target_include_directories(vt_helper_signature PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vt_helper_signature PUBLIC vt_shared)
if(WIN32)
  target_sources(vt_helper_signature PRIVATE signature_win.cpp)
  target_link_libraries(vt_helper_signature PUBLIC vt_platform vt_delayed_wintrust vt_delayed_crypt32)
endif()

vt_add_gtest(signature_tests
  SOURCES tests/signature_test.cpp
  LIBS vt_helper_signature)

if(WIN32 AND VT_TESTS)
  # Two builds of a trivial DLL, signed at test time on the Linux side with certificates made
  # by openssl; the Windows tests read the signed copies through Wine's Z: drive.
  foreach(variant 1 2)
    add_library(signature_test_dll${variant} SHARED tests/signature_test_dll.cpp)
    target_compile_definitions(signature_test_dll${variant} PRIVATE VT_TEST_DLL_VARIANT=${variant})
    set_target_properties(signature_test_dll${variant} PROPERTIES PREFIX "")
  endforeach()

  set(VT_SIGNED_DIR ${CMAKE_CURRENT_BINARY_DIR}/signed)
  string(REPLACE "/" "\\\\" VT_SIGNED_DIR_WINE "Z:${VT_SIGNED_DIR}")
  add_test(NAME signature_signed_dlls
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/signature_make_signed.sh ${VT_SIGNED_DIR}
      $<TARGET_FILE:signature_test_dll1> $<TARGET_FILE:signature_test_dll2>)
  set_tests_properties(signature_signed_dlls PROPERTIES FIXTURES_SETUP vt_signed_dlls TIMEOUT 60)

  vt_add_gtest(signature_win_tests WINDOWS_ONLY
    SOURCES tests/signature_win_test.cpp
    LIBS vt_helper_signature)
  target_compile_definitions(signature_win_tests PRIVATE "VT_SIGNED_DIR=\"${VT_SIGNED_DIR_WINE}\"")
  add_dependencies(signature_win_tests signature_test_dll1 signature_test_dll2)
  set_tests_properties(signature_win_tests PROPERTIES FIXTURES_REQUIRED vt_signed_dlls)
endif()
