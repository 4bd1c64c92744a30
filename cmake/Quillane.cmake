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
  quillane_use_pch(${target})
endfunction()

# Precompiled headers: one for the libraries (quillanePch.h) and one for the test
# programs (quillaneTestPch.h), each compiled once in a target of its own and
# reused by every target of its kind.
if(QUILLANE_PCH)
  file(WRITE ${CMAKE_BINARY_DIR}/quillane_pch_holder.cpp "// holds the precompiled header\n")
  add_library(quillane_pch OBJECT ${CMAKE_BINARY_DIR}/quillane_pch_holder.cpp)
  target_link_libraries(quillane_pch PRIVATE Qt6::Core Qt6::Gui)
  target_precompile_headers(quillane_pch PRIVATE ${CMAKE_CURRENT_LIST_DIR}/quillanePch.h)
endif()

function(quillane_use_pch target)
  if(QUILLANE_PCH)
    target_precompile_headers(${target} REUSE_FROM quillane_pch)
  endif()
endfunction()

function(quillane_use_test_pch target)
  if(NOT QUILLANE_PCH)
    return()
  endif()
  if(NOT TARGET quillane_test_pch)
    add_library(quillane_test_pch OBJECT ${CMAKE_BINARY_DIR}/quillane_pch_holder.cpp)
    target_link_libraries(quillane_test_pch PRIVATE Qt6::Core Qt6::Gui GTest::gtest)
    target_precompile_headers(quillane_test_pch PRIVATE ${PROJECT_SOURCE_DIR}/cmake/quillaneTestPch.h)
  endif()
  target_precompile_headers(${target} REUSE_FROM quillane_test_pch)
endfunction()
