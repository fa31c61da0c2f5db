# Include roots: a target's includes reach only the folders it may use.
#
# velmora_include_root(TARGET FOLDER...) makes build/include/TARGET/, which
# holds a link to each FOLDER of the source tree and nothing else, and puts it
# on TARGET's include path (PUBLIC for a library, so that what links it sees
# its folders too). A layer names only its own folder: the folders below come
# with the libraries it links, and a folder above is on no path it has, so
# "#include "writers/X.h"" in store/ does not compile.
function(velmora_include_root target)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  file(MAKE_DIRECTORY ${root})
  # Links of an earlier configure that names other folders go.
  file(GLOB entries LIST_DIRECTORIES true ${root}/*)
  foreach(entry IN LISTS entries)
    get_filename_component(name ${entry} NAME)
    if(IS_SYMLINK ${entry} AND NOT name IN_LIST ARGN)
      file(REMOVE ${entry})
    endif()
  endforeach()
  foreach(folder IN LISTS ARGN)
    if(NOT IS_DIRECTORY ${CMAKE_SOURCE_DIR}/${folder})
      message(FATAL_ERROR "velmora_include_root(${target}): no folder ${folder}")
    endif()
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC RESULT result)
    if(NOT result STREQUAL "0")
      message(FATAL_ERROR "velmora_include_root(${target}): cannot link ${folder}: ${result}")
    endif()
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    target_include_directories(${target} PRIVATE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# velmora_layer_check(LAYER...) adds the CTest test layers.upward-include: for
# each layer, listed bottom to top as velmora_<layer> libraries, a header of
# its own folder must preprocess with that library's include path, and a
# header of each folder above it (VELMORA_LAYER_FOLDERS after it) must fail
# to compile as not found.
function(velmora_layer_check)
  set(content "set(LAYERS \"${ARGN}\")\nset(FOLDERS \"${VELMORA_LAYER_FOLDERS}\")\n")
  foreach(layer IN LISTS ARGN)
    string(APPEND content
      "set(DIRS_${layer} \"$<TARGET_PROPERTY:velmora_${layer},INCLUDE_DIRECTORIES>\")\n")
  endforeach()
  set(input ${CMAKE_BINARY_DIR}/layer-check-input.cmake)
  file(GENERATE OUTPUT ${input} CONTENT "${content}")
  add_test(NAME layers.upward-include
    COMMAND ${CMAKE_COMMAND}
      -DINPUT=${input}
      -DCOMPILER=${CMAKE_CXX_COMPILER}
      -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
      -DWORK_DIR=${CMAKE_BINARY_DIR}/layer-check
      -P ${CMAKE_SOURCE_DIR}/cmake/LayerCheck.cmake)
endfunction()

# velmora_check_listed(PATTERN...) stops the configure when a source file
# matching a PATTERN (relative to the source tree) is in no target of this
# project: sources are listed by hand, and a file left out of its list would
# otherwise go unbuilt (a test that never runs). The patterns are read again
# at each build, so a new file is caught then too.
function(velmora_check_listed)
  get_property(targets DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY BUILDSYSTEM_TARGETS)
  set(listed)
  foreach(target IN LISTS targets)
    get_target_property(sources ${target} SOURCES)
    foreach(source IN LISTS sources)
      get_filename_component(source ${source} ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
      list(APPEND listed ${source})
    endforeach()
  endforeach()
  set(patterns)
  foreach(pattern IN LISTS ARGN)
    list(APPEND patterns ${CMAKE_SOURCE_DIR}/${pattern})
  endforeach()
  file(GLOB found CONFIGURE_DEPENDS ${patterns})
  set(missing)
  foreach(file IN LISTS found)
    if(NOT file IN_LIST listed)
      file(RELATIVE_PATH name ${CMAKE_SOURCE_DIR} ${file})
      list(APPEND missing ${name})
    endif()
  endforeach()
  if(missing)
    list(JOIN missing "\n  " missing)
    message(FATAL_ERROR "source files in no target (add each to its list):\n  ${missing}")
  endif()
endfunction()
