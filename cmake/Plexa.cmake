# plexa_folder(<name> [DEPS libs...] [TEST_DEPS libs...])
#
# Builds the folder's *.cpp into the static library plexa_<name>, and, when the folder has
# tests/*.cpp, one GoogleTest program <name>_tests whose cases CTest discovers.
function(plexa_folder name)
  cmake_parse_arguments(A "" "" "DEPS;TEST_DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(srcs)
    add_library(plexa_${name} STATIC ${srcs})
    set(scope PUBLIC)
  else()
    add_library(plexa_${name} INTERFACE)   # a folder that has no code yet
    set(scope INTERFACE)
  endif()
  target_include_directories(plexa_${name} ${scope} ${PROJECT_SOURCE_DIR})
  target_link_libraries(plexa_${name} ${scope} ${A_DEPS})
  set_property(GLOBAL APPEND PROPERTY PLEXA_LIBRARIES plexa_${name})

  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
  if(tests AND PLEXA_TESTS)
    add_executable(${name}_tests ${tests})
    target_link_libraries(${name}_tests PRIVATE plexa_${name} plexa_testsupport
                          ${A_TEST_DEPS} GTest::gmock GTest::gtest GTest::gtest_main)
    gtest_discover_tests(${name}_tests
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 120
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PLEXA_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  endif()
endfunction()

# plexa_program(<name> SOURCES files... DEPS libs...)
function(plexa_program name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS})
endfunction()
