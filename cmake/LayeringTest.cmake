# The layering rule checked on small source trees, one include each: what the rule must report
# and what it must let pass (the toolkit beside the core, the editors and the converter over
# both). Run by the CTest test "layering_rule":
#   cmake -DPLEXA_LAYERING_WORK=<scratch folder> -P cmake/LayeringTest.cmake
cmake_policy(VERSION 3.25)
set(PLEXA_LAYERING_FUNCTIONS_ONLY ON)
include(${CMAKE_CURRENT_LIST_DIR}/Layering.cmake)

if(NOT PLEXA_LAYERING_WORK)
  message(FATAL_ERROR "PLEXA_LAYERING_WORK names no scratch folder")
endif()

# Each case: the source file, the header it includes, and whether the rule reports it.
set(cases
  "model/texts.cpp|toolkit/vx_window.h|breach"
  "files/tests/sheetfile_test.cpp|toolkit/vx_app.h|breach"
  "library/itemcache.cpp|toolkit/vx_window.h|breach"
  "design/dxfexport.cpp|toolkit/vx_filepanels.h|breach"
  "toolkit/vx_window.cpp|model/sheet.h|breach"
  "graphics/render.cpp|toolkit/vx_window.h|breach"
  "model/sheet.cpp|files/sheetfile.h|breach"
  "design/dxfexport.cpp|sheeteditor/sheetwindow.h|breach"
  "converter/v36.cpp|app/root.h|allowed"
  "converter/v36.cpp|sheeteditor/sheetwindow.h|breach"
  "model/texts.cpp|graphics/offscreen.h|allowed"
  "design/dxfexport.cpp|library/libfile.h|allowed"
  "toolkit/vx_window.cpp|graphics/grafport.h|allowed"
  "sheeteditor/sheetwindow.cpp|toolkit/vx_window.h|allowed"
  "sheeteditor/sheetwindow.cpp|design/annotate.h|allowed"
  "symboleditor/libeditor.cpp|sheeteditor/sheetwindow.h|allowed"
  "converter/v36.cpp|toolkit/vx_window.h|allowed"
  "converter/v36.cpp|library/libfile.h|allowed"
  "app/root_core.cpp|toolkit/vx_app.h|allowed"
  "model/tests/texts_test.cpp|app/root.h|allowed"
  "bench/model_symboldraw.cpp|toolkit/vx_window.h|allowed"
)

set(failures)
set(index 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 source)
  list(GET fields 1 header)
  list(GET fields 2 expected)
  math(EXPR index "${index} + 1")
  set(root ${PLEXA_LAYERING_WORK}/case${index})
  file(REMOVE_RECURSE ${root})
  file(WRITE ${root}/${source} "#include \"${header}\"\n")
  plexa_layering_breaches(${root} breaches)
  if(expected STREQUAL "breach")
    if(NOT breaches MATCHES "includes ${header}")
      list(APPEND failures "${source} including ${header} was not reported")
    endif()
  elseif(breaches)
    list(APPEND failures "${source} including ${header} was reported: ${breaches}")
  endif()
  file(REMOVE_RECURSE ${root})
endforeach()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "The layering rule is wrong:\n  ${text}")
endif()
