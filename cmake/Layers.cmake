# The layers of the tree and the rule between them: a layer's code may
# include the headers of the layers it uses (and of theirs, since a header
# brings its own includes along), and no others. Two guards keep it:
#  - the compiler: each layer's target sees only an include root of its own,
#    a folder in the build tree with a link to each layer it may reach, so
#    an include of any other layer does not compile, whatever its spelling;
#  - cmake/CheckLayers.cmake, run first in every build: a layer includes
#    directly only the layers it names, and no include climbs out with "../"
#    (which would get round the include root).
#
# fr_layer(NAME FOLDER USES ...) declares a layer; fr_add_layer(target NAME
# [LIBS ...]) builds its library; fr_use_layer_includes(target NAME) gives a
# program or a tool its layer's include root; fr_write_layer_table() writes
# the table the check script reads.

set(FR_LAYER_ROOTS ${CMAKE_BINARY_DIR}/layer-includes)
set(FR_LAYER_TABLE ${CMAKE_BINARY_DIR}/fr_layers.cmake)

# fr_layer(name FOLDER folder [USES layer...]): the folder holds the layer's
# .h and .cpp files; USES names the layers its code includes directly.
function(fr_layer name)
  cmake_parse_arguments(L "" "FOLDER" "USES" ${ARGN})
  if(NOT L_FOLDER)
    set(L_FOLDER ${name})
  endif()
  set_property(GLOBAL APPEND PROPERTY FR_LAYERS ${name})
  set_property(GLOBAL PROPERTY FR_LAYER_FOLDER_${name} ${L_FOLDER})
  set_property(GLOBAL PROPERTY FR_LAYER_USES_${name} ${L_USES})
endfunction()

# The layer and every layer it reaches through USES.
function(fr_layer_closure out name)
  set(seen ${name})
  set(todo ${name})
  while(todo)
    list(POP_FRONT todo layer)
    get_property(uses GLOBAL PROPERTY FR_LAYER_USES_${layer})
    foreach(used IN LISTS uses)
      if(NOT used IN_LIST seen)
        list(APPEND seen ${used})
        list(APPEND todo ${used})
      endif()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# The include root of a layer: links to the folders of its closure, each
# under the name the includes use ("irc/...", "tools/bf42sim/...").
function(fr_layer_include_root out name)
  string(REPLACE "/" "-" rootName ${name})
  set(root ${FR_LAYER_ROOTS}/${rootName})
  fr_layer_closure(closure ${name})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root})
  foreach(layer IN LISTS closure)
    get_property(folder GLOBAL PROPERTY FR_LAYER_FOLDER_${layer})
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endforeach()
  set(${out} ${root} PARENT_SCOPE)
endfunction()

# fr_add_layer(target name [LIBS lib...]): the layer's library (an
# interface library when the folder holds headers only), linking the
# libraries of the layers it uses and LIBS.
function(fr_add_layer target name)
  cmake_parse_arguments(L "" "" "LIBS" ${ARGN})
  get_property(folder GLOBAL PROPERTY FR_LAYER_FOLDER_${name})
  get_property(uses GLOBAL PROPERTY FR_LAYER_USES_${name})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  fr_filter_platform_sources(sources)
  fr_layer_include_root(root ${name})
  set(libs)
  foreach(used IN LISTS uses)
    # A layer this build leaves out (the statistics on Windows) is asked
    # for by its define, not linked.
    if(TARGET fr_${used})
      list(APPEND libs fr_${used})
    endif()
  endforeach()
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${root})
    target_link_libraries(${target} PUBLIC ${libs} ${L_LIBS})
    add_dependencies(${target} fr_layer_check)
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${root})
    target_link_libraries(${target} INTERFACE ${libs} ${L_LIBS})
  endif()
endfunction()

# A target outside the layer libraries (a program, a tool) that includes as
# the named layer may.
function(fr_use_layer_includes target name)
  fr_layer_include_root(root ${name})
  target_include_directories(${target} PRIVATE ${root})
  add_dependencies(${target} fr_layer_check)
endfunction()

# The table for cmake/CheckLayers.cmake.
function(fr_write_layer_table)
  get_property(layers GLOBAL PROPERTY FR_LAYERS)
  set(text "set(FR_LAYERS ${layers})\n")
  foreach(layer IN LISTS layers)
    get_property(folder GLOBAL PROPERTY FR_LAYER_FOLDER_${layer})
    get_property(uses GLOBAL PROPERTY FR_LAYER_USES_${layer})
    string(APPEND text "set(FR_FOLDER_${layer} ${folder})\nset(FR_USES_${layer} ${uses})\n")
  endforeach()
  file(WRITE ${FR_LAYER_TABLE}.tmp "${text}")
  file(COPY_FILE ${FR_LAYER_TABLE}.tmp ${FR_LAYER_TABLE} ONLY_IF_DIFFERENT)
endfunction()
