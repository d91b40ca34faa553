# Warnings and hardening for every target of the project.
option(TARNIX_CONVERSION_WARNINGS "Warn about implicit conversions that may change a value" OFF)
# The standard library's own bounds checks (operator[], front(), back()) cost little and turn a
# wrong index into a stop instead of a read of someone else's memory: off only in the release
# preset, whose figures the benchmarks report.
option(TARNIX_LIBRARY_ASSERTIONS "Build with the standard library's assertions" ON)
add_library(tarnix_options INTERFACE)
target_compile_options(tarnix_options INTERFACE
  -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Wunused -Woverloaded-virtual -Wimplicit-fallthrough
  -fstack-protector-strong)
if(TARNIX_CONVERSION_WARNINGS)
  target_compile_options(tarnix_options INTERFACE -Wconversion)
endif()
target_compile_definitions(tarnix_options INTERFACE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
if(TARNIX_LIBRARY_ASSERTIONS)
  target_compile_definitions(tarnix_options INTERFACE _GLIBCXX_ASSERTIONS)
endif()
if(TARNIX_WERROR)
  target_compile_options(tarnix_options INTERFACE -Werror)
endif()

# Every library of the project: static, warnings on. Its headers are included by their path
# from the project root ("engine/RZBramble.h"), but each library puts only its own folder on
# the include path (through a folder of links in the build tree): a library reaches the headers
# of the libraries it links and no others, so the layering is the build's to keep, not habit's.
# FOLDER names a subfolder that is the library's own (helper/protocol, app/core).
function(tarnix_library name)
  cmake_parse_arguments(ARG "" "FOLDER" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  if(ARG_FOLDER)
    set(folder "${folder}/${ARG_FOLDER}")
  endif()
  set(root "${PROJECT_BINARY_DIR}/include/${name}")
  if(NOT IS_SYMLINK "${root}/${folder}")
    get_filename_component(parent "${root}/${folder}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    file(CREATE_LINK "${PROJECT_SOURCE_DIR}/${folder}" "${root}/${folder}" SYMBOLIC)
  endif()
  target_include_directories(${name} PUBLIC "${root}")
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE tarnix_options ${ARG_PRIVATE})
endfunction()
