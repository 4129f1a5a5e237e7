# The deliverables' images, read from their PE structures on the Linux side (pe.py beside this
# file), so that the same checks hold for any linker, either architecture and images that
# cannot run here: machine type, imported DLLs, the helper's delay imports against its
# stand-ins, the DLL's exports, the programs' manifests. Included after the components, whose
# targets and hook source it names.
if(WIN32 AND CMAKE_CROSSCOMPILING AND VT_TESTS)
  find_package(Python3 COMPONENTS Interpreter REQUIRED)
  get_directory_property(vt_delayload_hook DIRECTORY ${PROJECT_SOURCE_DIR}/watermark-windows/helper
    DEFINITION VT_DELAYLOAD_HOOK)
  add_test(NAME images
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/images_test.py
      ${CMAKE_SYSTEM_PROCESSOR} ${vt_delayload_hook} $<TARGET_FILE:VantorelWatermark>
      $<TARGET_FILE:VantorelVirtualCameraBackend> $<TARGET_FILE:huddlewatch>)
  # The reader itself, on damaged copies of an image with resources and symbols and of one with
  # exports.
  add_test(NAME pe_reader
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/pe_test.py
      $<TARGET_FILE:VantorelWatermark> $<TARGET_FILE:VantorelVirtualCameraBackend>)
  # The scripts import pe.py from their own folder; its compiled copy is kept out of the sources.
  set_tests_properties(images pe_reader PROPERTIES TIMEOUT 120
    ENVIRONMENT PYTHONDONTWRITEBYTECODE=1)
endif()
