# Fails when a source includes a header of a layer above its own. Run by the
# build before anything is compiled: cmake -DSOURCE_DIR=... -P check_layers.cmake
#
# The layers, each allowed to include itself and those listed:
#   platform
#   device    platform
#   monitor   device
#   ui        monitor            (the Controls/Prompts/Canvas seams and panes)
#   tracer, config, graphs: ui   (the windows' rules)
#   app       tracer config graphs
#   cli       tracer config graphs
#   sim       device
cmake_minimum_required(VERSION 3.25)
set(below_platform "")
set(below_device platform)
set(below_monitor ${below_device} device)
set(below_ui ${below_monitor} monitor)
set(below_tracer ${below_ui} ui)
set(below_config ${below_ui} ui)
set(below_graphs ${below_ui} ui)
set(below_app ${below_ui} ui tracer config graphs)
set(below_cli ${below_ui} ui tracer config graphs)
set(below_sim ${below_device} device)
set(layers platform device monitor ui tracer config graphs app cli sim)

set(wrong "")
foreach(layer IN LISTS layers)
  if(layer STREQUAL "sim")
    set(folder "${SOURCE_DIR}/sim")
  else()
    set(folder "${SOURCE_DIR}/src/${layer}")
  endif()
  set(allowed ${below_${layer}} ${layer})
  list(JOIN allowed " " allowed_text)
  file(GLOB files "${folder}/*.h" "${folder}/*.cpp")
  foreach(file IN LISTS files)
    file(STRINGS "${file}" includes REGEX "^#include \"[a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([a-z_]+)/.*" "\\1" target "${line}")
      if(NOT target IN_LIST layers)
        continue()
      endif()
      if(NOT target IN_LIST allowed)
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
        list(APPEND wrong "${shown}: ${line} (${layer} may include: ${allowed_text})")
      endif()
    endforeach()
  endforeach()
endforeach()
if(wrong)
  list(JOIN wrong "\n  " text)
  message(FATAL_ERROR "Includes that run up the layers:\n  ${text}")
endif()
