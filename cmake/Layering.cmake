# The layering rule, checked over the sources at configure time (and by the CTest test "layering",
# which runs this file as a script: cmake -DPLEXA_SOURCE_DIR=<top> -P cmake/Layering.cmake; the
# test "layering_rule" checks the rule itself on small trees, cmake/LayeringTest.cmake).
#
# A folder includes only its own headers and those of the folders below it:
#   platform < foundation < graphics < {toolkit | model < files < library < design}
#            < sheeteditor, symboleditor < app
# The toolkit sits beside the core (model, files, library, design), not under it: the core opens
# no window, and the toolkit knows nothing of sheets. converter may include the toolkit, the core
# and what lies below them, and starts through the composition root (app/); only the editors, app
# and converter include both. tests/support,
# tools, bench and fuzz may include anything. A folder's tests/ belong to the folder and may also
# include tests/support and the composition root (app/). Qt headers appear only under platform/.
#
# An include names a folder by its first path component ("graphics/render.h"); includes without a
# folder (generated tables, system headers) are not checked.

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_policy(VERSION 3.25)
endif()

set(PLEXA_BASE_LAYERS platform foundation graphics)
set(PLEXA_CORE_LAYERS model files library design)
set(PLEXA_EDITOR_LAYERS sheeteditor symboleditor)

# Within plexa_allowed_folders: appends the layers of the chain to `allowed` one by one, and when
# `folder` is one of them returns from the function with what is allowed up to it.
macro(plexa_take_chain)
  foreach(layer IN ITEMS ${ARGN})
    list(APPEND allowed ${layer})
    if(folder STREQUAL layer)
      set(${out} ${allowed} PARENT_SCOPE)
      return()
    endif()
  endforeach()
endmacro()

# The folders that `folder` may include, into the variable `out`; "*" for any.
function(plexa_allowed_folders folder out)
  if(folder MATCHES "^(tests|tools|bench|fuzz)$")
    set(${out} "*" PARENT_SCOPE)
    return()
  endif()
  # Chains of layers: a folder may include its own and the ones before it.
  set(allowed)
  plexa_take_chain(${PLEXA_BASE_LAYERS})
  set(base ${allowed})
  plexa_take_chain(toolkit)
  set(allowed ${base})
  plexa_take_chain(${PLEXA_CORE_LAYERS})
  set(both ${base} toolkit ${PLEXA_CORE_LAYERS})
  if(folder STREQUAL "converter")
    set(${out} ${both} app converter PARENT_SCOPE)
  elseif(folder IN_LIST PLEXA_EDITOR_LAYERS)
    set(${out} ${both} ${PLEXA_EDITOR_LAYERS} PARENT_SCOPE)
  elseif(folder STREQUAL "app")
    set(${out} ${both} ${PLEXA_EDITOR_LAYERS} app PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)  # an unknown folder may include no folder
  endif()
endfunction()

# Every breach of the rule under `root`, one line each, into `out`.
function(plexa_layering_breaches root out)
  set(folders ${PLEXA_BASE_LAYERS} toolkit ${PLEXA_CORE_LAYERS} ${PLEXA_EDITOR_LAYERS} app converter
      tests tools bench fuzz)
  set(breaches)
  foreach(folder IN LISTS folders)
    if(NOT IS_DIRECTORY ${root}/${folder})
      continue()
    endif()
    plexa_allowed_folders(${folder} allowed)
    file(GLOB_RECURSE sources RELATIVE ${root}
         ${root}/${folder}/*.h ${root}/${folder}/*.hpp ${root}/${folder}/*.cpp
         ${root}/${folder}/*.cc ${root}/${folder}/*.y)
    foreach(source IN LISTS sources)
      # A folder's tests may also use the shared test helpers and start the program's layers
      # through the composition root.
      set(permitted ${allowed})
      if(source MATCHES "^[^/]+/tests/")
        list(APPEND permitted tests app)
      endif()
      file(STRINGS ${root}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
      foreach(line IN LISTS lines)
        if(line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z0-9_]*|Qt[A-Za-z0-9_]*/[^>]*)>")
          if(NOT folder STREQUAL "platform")
            list(APPEND breaches "${source}: Qt header <${CMAKE_MATCH_1}> outside platform/")
          endif()
        elseif(line MATCHES "#[ \t]*include[ \t]*\"([A-Za-z0-9_]+)/([^\"]*)\"")
          set(target ${CMAKE_MATCH_1})
          if(NOT target IN_LIST folders)
            continue()
          endif()
          if(NOT permitted STREQUAL "*" AND NOT target IN_LIST permitted)
            list(APPEND breaches "${source}: includes ${target}/${CMAKE_MATCH_2}, above ${folder}/")
          endif()
        endif()
      endforeach()
    endforeach()
  endforeach()
  set(${out} ${breaches} PARENT_SCOPE)
endfunction()

# A script that only wants the functions above (cmake/LayeringTest.cmake) stops here.
if(PLEXA_LAYERING_FUNCTIONS_ONLY)
  return()
endif()

if(CMAKE_SCRIPT_MODE_FILE)
  if(NOT PLEXA_SOURCE_DIR)
    get_filename_component(PLEXA_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
  endif()
  set(root ${PLEXA_SOURCE_DIR})
else()
  set(root ${PROJECT_SOURCE_DIR})
endif()
plexa_layering_breaches(${root} breaches)
if(breaches)
  list(JOIN breaches "\n  " text)
  message(FATAL_ERROR "Layering rule broken:\n  ${text}")
endif()
if(NOT CMAKE_SCRIPT_MODE_FILE AND PLEXA_TESTS)
  add_test(NAME layering
           COMMAND ${CMAKE_COMMAND} -DPLEXA_SOURCE_DIR=${PROJECT_SOURCE_DIR}
                   -P ${PROJECT_SOURCE_DIR}/cmake/Layering.cmake)
  add_test(NAME layering_rule
           COMMAND ${CMAKE_COMMAND} -DPLEXA_LAYERING_WORK=${PROJECT_BINARY_DIR}/layering-cases
                   -P ${PROJECT_SOURCE_DIR}/cmake/LayeringTest.cmake)
endif()
