# Fails when a folder includes a header of a folder above it, or an OS header outside
# platform/. Run as: cmake -DSOURCE_DIR=<checkout> -P cmake/CheckIncludes.cmake
#
# The build already keeps each library to the headers of the libraries it links; this check
# also holds the link lines themselves to the layers below, and keeps system calls in the one
# folder that has fakes for them.
#
# tests/ and bench/ are not checked: they build fixtures, start and kill processes, and measure
# against raw system calls, all of which would otherwise have to enter the product's platform
# library without any product code calling them; the two applications' responsiveness
# benchmarks are benchmarks too (they make their sample volumes with bramble's code). Other tools inside a
# folder (app/tools) are held to their folder's rule.
set(exempt app/tools/ResponsivenessBench.cpp ezinstaller/tools/EZResponsivenessBench.cpp)
cmake_minimum_required(VERSION 3.25)
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<checkout> -P CheckIncludes.cmake")
endif()

# Each folder and the folders whose headers it may include (besides its own), lowest first.
set(layers
  "platform:"
  "model:platform"
  "engine/results:"
  "engine:engine/results model platform"
  "journal:platform"
  "bootconfig/nvram:platform"
  "bootconfig:journal model platform"
  "operations:bootconfig journal engine engine/results model platform"
  "cli:operations bootconfig journal engine engine/results model platform"
  "helper/protocol:engine/results model platform"
  "helper/transport:helper/protocol engine/results model platform"
  "helper:helper/transport helper/protocol operations bootconfig journal engine engine/results model platform"
  "client:helper/transport helper/protocol engine/results model platform"
  "app/core:client helper/transport helper/protocol engine/results model platform"
  "app/presenter:engine/results model platform"
  "ui:app/core client helper/transport helper/protocol journal engine/results model platform"
  "app:ui app/presenter app/core client helper/transport helper/protocol bootconfig journal engine/results model platform"
  "ezinstaller:ui app/core client helper/transport helper/protocol bootconfig journal engine/results model platform")

set(folders "")
foreach(layer ${layers})
  string(REPLACE ":" ";" parts "${layer}")
  list(GET parts 0 folder)
  list(APPEND folders ${folder})
  set(allowed "")
  list(LENGTH parts count)
  if(count GREATER 1)
    list(GET parts 1 allowed)
    separate_arguments(allowed)
  endif()
  set("allowed_${folder}" ${folder} ${allowed})
endforeach()
# Longest first, so that "helper/protocol/X.h" is helper/protocol's and not helper's.
list(SORT folders ORDER DESCENDING)

# The folder of `path` (relative to the checkout or an include path), or "" when none.
function(folder_of path out)
  foreach(folder ${folders})
    string(LENGTH "${folder}/" length)
    string(SUBSTRING "${path}" 0 ${length} prefix)
    if(prefix STREQUAL "${folder}/")
      set(${out} ${folder} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

set(os_headers "^(unistd|fcntl|pwd|grp|dirent|signal|poll|termios|spawn)\\.h$|^(sys|linux)/")

set(sources "")
foreach(top platform model engine journal bootconfig operations cli helper client app ui ezinstaller)
  file(GLOB_RECURSE found RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${top}/*.cpp" "${SOURCE_DIR}/${top}/*.h"
       "${SOURCE_DIR}/${top}/*.h.in")
  list(APPEND sources ${found})
endforeach()

set(violations 0)
list(REMOVE_ITEM sources ${exempt})
foreach(source ${sources})
  folder_of("${source}" own)
  file(STRINGS "${SOURCE_DIR}/${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line ${lines})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*$" "\\1" header "${line}")
    if(header MATCHES "${os_headers}")
      if(NOT own STREQUAL "platform")
        message(SEND_ERROR "${source}: includes <${header}>: only platform/ calls the system")
        math(EXPR violations "${violations} + 1")
      endif()
      continue()
    endif()
    folder_of("${header}" theirs)
    if(theirs STREQUAL "")
      continue()  # a library's or the standard's header, or one beside the file
    endif()
    if(NOT theirs IN_LIST "allowed_${own}")
      string(REPLACE ";" ", " allowed "${allowed_${own}}")
      message(SEND_ERROR "${source}: includes \"${header}\": ${own}/ may include only ${allowed}")
      math(EXPR violations "${violations} + 1")
    endif()
  endforeach()
endforeach()

list(LENGTH sources checked)
if(violations GREATER 0)
  message(FATAL_ERROR "${violations} include(s) cross a boundary in ${checked} files")
endif()
message(STATUS "Includes of ${checked} files keep to their layers")
