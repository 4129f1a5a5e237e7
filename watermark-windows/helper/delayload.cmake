# The elevated copy of VantorelWatermark runs from a folder that its user may be able to write
# to, so a DLL planted there must never load. The executable imports at start-up only DLLs that
# the system always takes from its KnownDLLs; the platform DLLs below load at their first call
# instead, once main has restricted the DLL search to System32.
#
# Modules link vt_delayed_<name> in place of <name>. Where the linker delay-loads by an option
# (lld's --delayload, the ARM64 mingw build's), that is the plain import library carrying the
# option to every executable that links it. The GNU linker has none: there it is a delay-import
# library made here by dlltool from the export names of mingw-w64's own import library. With
# MSVC it is the plain import library, and vt_delay_load() adds /DELAYLOAD to the executable.
set(VT_DELAYED_DLLS crypt32 wintrust mf mfplat)

# The portable build links no platform DLL.
if(WIN32)
  if(MINGW)
    include(CheckLinkerFlag)
    check_linker_flag(CXX "-Wl,--delayload=kernel32.dll" VT_LINKER_DELAYLOAD_OPTION)
    set(delay_dir ${CMAKE_CURRENT_BINARY_DIR}/delayload)
    file(MAKE_DIRECTORY ${delay_dir})
  endif()

  foreach(name ${VT_DELAYED_DLLS})
    add_library(vt_delayed_${name} INTERFACE)
    if(NOT MINGW OR VT_LINKER_DELAYLOAD_OPTION)
      target_link_libraries(vt_delayed_${name} INTERFACE ${name})
      if(MINGW)
        target_link_options(vt_delayed_${name} INTERFACE -Wl,--delayload=${name}.dll)
      endif()
      continue()
    endif()

    find_library(VT_IMPORT_LIBRARY_${name} ${name} REQUIRED)
    set(import_library ${VT_IMPORT_LIBRARY_${name}})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${import_library})
    execute_process(COMMAND ${CMAKE_NM} -g ${import_library} OUTPUT_VARIABLE symbols
                    COMMAND_ERROR_IS_FATAL ANY)
    # Each function of the import library has a code thunk ("T name"); data exports have none
    # and cannot be delay-loaded anyway.
    string(REGEX MATCHALL "[0-9a-f]+ T [A-Za-z0-9_@?$]+" thunks "${symbols}")
    list(TRANSFORM thunks REPLACE "^[0-9a-f]+ T " "")
    list(REMOVE_DUPLICATES thunks)
    list(JOIN thunks "\n  " exports)
    file(WRITE ${delay_dir}/${name}.def "LIBRARY ${name}.dll\nEXPORTS\n  ${exports}\n")
    set(delay_library ${delay_dir}/lib${name}_delay.a)
    execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${delay_dir}/${name}.def
                            --dllname ${name}.dll --output-delaylib ${delay_library}
                    RESULT_VARIABLE failed ERROR_VARIABLE dlltool_error)
    if(failed)
      message(FATAL_ERROR "The linker takes no --delayload and ${CMAKE_DLLTOOL} makes no "
        "delay-import library: ${dlltool_error}")
    endif()
    target_link_libraries(vt_delayed_${name} INTERFACE ${delay_library})
  endforeach()
endif()

# The hook that turns a DLL that fails to load (Media Foundation is missing from the N editions
# of Windows) into failures of the calls that needed it. It must be a source of the executable
# itself: from a static library the linker would take the runtime's empty hook instead.
set(VT_DELAYLOAD_HOOK ${CMAKE_CURRENT_SOURCE_DIR}/delayload_win.cpp)

# The executable's side: the failure hook, and with MSVC its imports of these DLLs become
# delay-loaded.
function(vt_delay_load target)
  target_sources(${target} PRIVATE ${VT_DELAYLOAD_HOOK})
  if(MSVC)
    foreach(name ${VT_DELAYED_DLLS})
      target_link_options(${target} PRIVATE /DELAYLOAD:${name}.dll)
    endforeach()
    target_link_libraries(${target} PRIVATE delayimp)
  endif()
endfunction()

# Calls into the four DLLs while Wine is told not to load them, as on a Windows without them.
# Without its debugger Wine ends a process that raises unhandled at once, where the debugger
# would hold it until the time-out.
vt_add_gtest(delayload_win_tests WINDOWS_ONLY
  SOURCES tests/delayload_win_test.cpp
  LIBS vt_delayed_mf vt_delayed_mfplat vt_delayed_crypt32 vt_delayed_wintrust)
if(TARGET delayload_win_tests)
  vt_delay_load(delayload_win_tests)
  target_include_directories(delayload_win_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  set_tests_properties(delayload_win_tests PROPERTIES
    ENVIRONMENT "WINEDLLOVERRIDES=mscoree,mshtml=\;winedbg.exe=d\;mf,mfplat,crypt32,wintrust=d")
endif()
