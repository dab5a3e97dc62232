# The layers' include rules over every file under src/, run as a test
# (cmake -DSOURCE_DIR=<repository> -P check_includes.cmake). The build holds
# the same rules (cmake/layers.cmake); this names each file that breaks one,
# and holds what the build cannot: the core and render include no system
# header, and no source file is over 400 lines.
#
#   core (shell show raster math3d scenes): the core and the C++ library only
#   render: render and the core; the C++ library, no threads or files
#   platform: platform, render and the core (never the launcher or exports)
#   export: export, render, the core and the headless run
#   app: anything
set(core "shell|show|raster|math3d|scenes")
set(rule_core "^(${core})/")
set(rule_render "^(render|${core})/")
set(rule_platform "^(platform|render|${core})/")
set(rule_export "^(export|render|platform/headless|${core})/")
# Standard headers that would bring threads or I/O into a pure layer.
set(impure "^(thread|mutex|condition_variable|future|fstream|iostream|filesystem)$")
set(max_lines 400)

file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}/src
  ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp)
set(faults "")
foreach(source ${sources})
  string(REGEX MATCH "^[^/]+" top "${source}")
  set(layer "")
  if(top MATCHES "^(${core})$")
    set(layer core)
  elseif(top MATCHES "^(render|platform|export)$")
    set(layer ${top})
  endif()
  file(READ ${SOURCE_DIR}/src/${source} content)
  string(REGEX MATCHALL "\n" newlines "${content}")
  list(LENGTH newlines count)
  if(count GREATER max_lines)
    list(APPEND faults "${source}: ${count} lines, over ${max_lines}")
  endif()
  if(NOT layer)
    continue()
  endif()
  string(REGEX MATCHALL "\n#include [\"<][^\">]+[\">]" includes "\n${content}")
  foreach(line IN LISTS includes)
    if(line MATCHES "#include \"([^\"]+)\"")
      set(header ${CMAKE_MATCH_1})
      if(NOT header MATCHES "${rule_${layer}}")
        list(APPEND faults "${source}: includes ${header}, above the ${layer} layer")
      endif()
    elseif(line MATCHES "#include <([^>]+)>" AND layer MATCHES "^(core|render)$")
      set(header ${CMAKE_MATCH_1})
      if(header MATCHES "\\." OR header MATCHES "${impure}")
        list(APPEND faults "${source}: includes <${header}>, not for the pure ${layer} layer")
      endif()
    endif()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "The layers' rules are broken:\n  ${text}")
endif()
list(LENGTH sources checked)
message(STATUS "${checked} files keep the layers' include rules")
