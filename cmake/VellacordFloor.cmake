# One static library per floor of the layer picture, in the manner of a plugin's CMakeLists.txt:
#
#   vellacord_add_floor(store DEPENDS vellacord_engine SOURCES ... DIALOGS ...)
#
# makes vellacord_store from SOURCES, linked to the floors it DEPENDS on. A floor's files see
# only their own folder and those of the floors below, through a folder of links in the build
# tree, so a file that includes a header of a higher floor does not compile. DIALOGS are the
# floor's drawing files: they sit beside the logic they serve but build into vellacord_gui.

set(VELLACORD_FLOOR_INCLUDES ${CMAKE_BINARY_DIR}/floors)

function(vellacord_add_floor name)
  cmake_parse_arguments(PARSE_ARGV 1 floor "" "FOLDER" "DEPENDS;PRIVATE_DEPENDS;SOURCES;DIALOGS")
  if(NOT floor_FOLDER)
    set(floor_FOLDER ${name})
  endif()
  set(target vellacord_${name})
  add_library(${target} STATIC ${floor_SOURCES})
  target_link_libraries(${target} PUBLIC ${floor_DEPENDS})
  if(floor_PRIVATE_DEPENDS)
    target_link_libraries(${target} PRIVATE ${floor_PRIVATE_DEPENDS})
  endif()
  vellacord_expose_folder(${target} ${name} ${floor_FOLDER})
  if(floor_DIALOGS)
    list(TRANSFORM floor_DIALOGS PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
    set_property(GLOBAL APPEND PROPERTY VELLACORD_DIALOG_SOURCES ${floor_DIALOGS})
  endif()
endfunction()

# Lets the target and every target above it include "FOLDER/Header.h", and no target below it.
function(vellacord_expose_folder target name folder)
  set(dir ${VELLACORD_FLOOR_INCLUDES}/${name})
  file(MAKE_DIRECTORY ${dir})
  if(NOT EXISTS ${dir}/${folder})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${dir}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${dir})
endfunction()
