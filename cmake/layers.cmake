# The layers, held by the build: core -> render -> platform, export -> app.
#
# Every library sees only the include roots of itself and of what it links.
# A library's folders under src/ are exposed through a folder of symbolic
# links in the build tree that holds those folders alone, so the usual
# spelling ("shell/screen.h", "render/ansi/frame_encoder.h") stays, and an
# include of a layer the library does not stand on fails to compile.
# tests/layers/check_includes.cmake states the same rules for every file.
function(cellshow_layer target)
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  foreach(folder ${ARGN})
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(NOT EXISTS ${root}/${folder})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
    endif()
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
