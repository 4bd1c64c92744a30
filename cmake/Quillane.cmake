# Helpers shared by every folder.

# quillane_library(<target> [QT <components>...] [LINKS <targets>...] [AUTOMOC])
# One static library from every .cpp/.h in the calling folder.
function(quillane_library target)
  cmake_parse_arguments(ARG "AUTOMOC" "" "QT;LINKS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  set(qtlibs)
  foreach(c IN LISTS ARG_QT)
    list(APPEND qtlibs Qt6::${c})
  endforeach()
  target_link_libraries(${target} PUBLIC ${ARG_LINKS} ${qtlibs})
  set_target_properties(${target} PROPERTIES AUTOMOC ${ARG_AUTOMOC})
endfunction()
