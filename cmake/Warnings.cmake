# Warnings and hardening for every target of the project.
add_library(tarnix_options INTERFACE)
target_compile_options(tarnix_options INTERFACE
  -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Wunused -Woverloaded-virtual -Wimplicit-fallthrough
  -fstack-protector-strong)
target_compile_definitions(tarnix_options INTERFACE
  $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>
  $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
if(TARNIX_WERROR)
  target_compile_options(tarnix_options INTERFACE -Werror)
endif()

# Every library of the project: static, warnings on, its folder's parent on the include path
# so headers are included as "engine/RZBramble.h".
function(tarnix_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE tarnix_options ${ARG_PRIVATE})
endfunction()
