# Helpers shared by every folder.

# quillane_library(<target> [QT <components>...] [PRIVATE_QT <components>...]
#                  [LINKS <targets>...] [PRIVATE_LINKS <targets>...] [AUTOMOC])
# One static library from every .cpp/.h in the calling folder.
#   QT, LINKS                  what the library's headers use: handed on to its users
#   PRIVATE_QT, PRIVATE_LINKS  what only its .cpp files use: linked, never handed on
# The project root is a private include path of every target: each library, test,
# benchmark and program names it itself, so nothing reaches a header through a
# library it happens to link.
function(quillane_library target)
  cmake_parse_arguments(ARG "AUTOMOC" "" "QT;PRIVATE_QT;LINKS;PRIVATE_LINKS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  list(TRANSFORM ARG_QT PREPEND Qt6:: OUTPUT_VARIABLE public_qt)
  list(TRANSFORM ARG_PRIVATE_QT PREPEND Qt6:: OUTPUT_VARIABLE private_qt)
  target_link_libraries(${target} PUBLIC ${ARG_LINKS} ${public_qt} PRIVATE ${ARG_PRIVATE_LINKS} ${private_qt})
  set_target_properties(${target} PROPERTIES AUTOMOC ${ARG_AUTOMOC})
endfunction()

