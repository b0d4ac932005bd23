cmake_minimum_required(VERSION 3.25)
# Every folder includes only from the folders below it: an include that runs
# back up fails, naming the file, the line and what the folder may include.
# Run as: cmake -DSOURCE_DIR=<project> -P check_layers.cmake
#
# One entry per folder: "folder|the folders it may include from, besides
# its own". The folder "server" stands for the files at its top level only.
set(layers
  "lib/text|"
  "lib/console|"
  "lib/sql|"
  "lib/wire|lib/text"
  "lib/layout|lib/text"
  "server/http|"
  "server/db|lib/sql"
  "server/build|lib/sql lib/wire lib/text lib/layout"
  "server/store|server/build lib/sql lib/wire lib/text"
  "server/import|server/store server/build server/db lib/sql lib/wire lib/text lib/layout"
  "server/demo|server/store server/build lib/sql lib/text lib/layout"
  "server/auth|"
  "server/rpc|server/http server/auth server/import server/store server/build server/db lib/sql lib/wire lib/text"
  "server|server/rpc server/auth server/import server/demo server/store server/db lib/sql lib/console"
  "host/toolkit|lib/text"
  "host/components|host/toolkit lib/sql lib/wire lib/text"
  "host/net|host/components lib/wire"
  "host/loader|host/components host/toolkit"
  "host/qt|host/loader host/net host/components host/toolkit lib/wire lib/text lib/layout"
  "host/cli|host/loader host/net host/components host/toolkit lib/wire lib/text lib/layout lib/console"
  "package/export|host/components host/toolkit lib/wire lib/text"
  "package/services|host/components lib/wire"
  # The module's entry and globals and the form are one unit: each names the other.
  "package/form|package/module package/export package/services host/components host/toolkit lib/wire lib/text"
  "package/module|package/form host/components host/toolkit")

set(faults "")
foreach(entry IN LISTS layers)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 folder)
  list(LENGTH parts n)
  set(allowed "")
  if(n GREATER 1)
    list(GET parts 1 allowed)
    separate_arguments(allowed UNIX_COMMAND "${allowed}")
  endif()
  if(folder STREQUAL "server")
    file(GLOB files RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/server/*.h" "${SOURCE_DIR}/server/*.cpp")
  else()
    list(APPEND allowed "${folder}")
    file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
  endif()
  foreach(file IN LISTS files)
    file(STRINGS "${SOURCE_DIR}/${file}" includes REGEX "^#include \"[^\"]+\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" target "${line}")
      get_filename_component(dir "${target}" DIRECTORY)
      set(ok FALSE)
      if(folder STREQUAL "server" AND dir STREQUAL "server")
        set(ok TRUE)
      endif()
      foreach(a IN LISTS allowed)
        string(FIND "${dir}/" "${a}/" at)
        if(at EQUAL 0)
          set(ok TRUE)
        endif()
      endforeach()
      if(NOT ok)
        string(APPEND faults "${file}: includes ${target}, but ${folder} may include only from: ${allowed}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "Includes that run back up the layers:\n${faults}")
endif()
message(STATUS "Every include runs down the layers.")
