# The application manifest embedded in each program (app.manifest through the resource script
# app.rc): windres with mingw-w64, rc with MSVC.
if(WIN32)
  enable_language(RC)
endif()

set(VT_MANIFEST_DIR ${CMAKE_CURRENT_LIST_DIR})

function(vt_embed_manifest target)
  target_sources(${target} PRIVATE ${VT_MANIFEST_DIR}/app.rc)
  set_property(SOURCE ${VT_MANIFEST_DIR}/app.rc APPEND PROPERTY OBJECT_DEPENDS
    ${VT_MANIFEST_DIR}/app.manifest)
  if(MSVC)
    # The linker would add a second manifest of its own.
    target_link_options(${target} PRIVATE /MANIFEST:NO)
  endif()
endfunction()

# That the built programs carry it is checked with their images (cmake/pe/).
