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
    plexa_test_program(${name}_tests)
    target_link_libraries(${name}_tests PRIVATE plexa_${name} plexa_testsupport
                          ${A_TEST_DEPS} GTest::gmock GTest::gtest GTest::gtest_main)
    gtest_discover_tests(${name}_tests
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 120
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()

# plexa_lsan_suppressions(<target>)
#
# Builds the leak checker's default suppressions (the lines of tests/lsan.supp: leaks inside system
# libraries) into a test or fuzz program, so that running it directly agrees with the full test run.
function(plexa_lsan_suppressions target)
  set(source ${PROJECT_SOURCE_DIR}/tests/lsan_suppressions.cpp)
  target_sources(${target} PRIVATE ${source})
  file(STRINGS ${PROJECT_SOURCE_DIR}/tests/lsan.supp lsan_lines REGEX "^leak:")
  list(JOIN lsan_lines "\\n" lsan_text)
  set_source_files_properties(${source} TARGET_DIRECTORY ${target}
    PROPERTIES COMPILE_DEFINITIONS "PLEXA_LSAN_SUPPRESSIONS=\"${lsan_text}\\n\"")
endfunction()

# plexa_test_program(<target> [LIMIT seconds])
#
# What every test program is built with: the leak checker's suppressions and the watchdog that
# stops the program, naming the test, when one test runs past LIMIT seconds (300 unless given).
function(plexa_test_program target)
  cmake_parse_arguments(A "" "LIMIT" "" ${ARGN})
  if(NOT A_LIMIT)
    set(A_LIMIT 300)
  endif()
  plexa_lsan_suppressions(${target})
  set(source ${PROJECT_SOURCE_DIR}/tests/test_watchdog.cpp)
  target_sources(${target} PRIVATE ${source})
  target_compile_definitions(${target} PRIVATE PLEXA_TEST_TIME_LIMIT=${A_LIMIT})
endfunction()

# plexa_test_probe(<folder> <name> <source> <definition>)
#
# A small program on the folder's library that the folder's tests run as a second process; the
# tests know its path as the compile definition <definition>.
function(plexa_test_probe folder name source definition)
  if(PLEXA_TESTS AND TARGET ${folder}_tests)
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE plexa_${folder})
    add_dependencies(${folder}_tests ${name})
    target_compile_definitions(${folder}_tests PRIVATE ${definition}="$<TARGET_FILE:${name}>")
  endif()
endfunction()

# plexa_program(<name> SOURCES files... DEPS libs...)
function(plexa_program name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS})
endfunction()

# plexa_grammar(<target> <grammar.y> <name>)
#
# Generates <name>_tables.h (namespace plexa::grammar::<name>) from a grammar file with byacc at
# build time and adds it to <target>; the target includes it as "<name>_tables.h".
find_program(BYACC_PROGRAM byacc REQUIRED)
function(plexa_grammar target grammar name)
  get_filename_component(grammar ${grammar} ABSOLUTE)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/grammar)
  set(header ${dir}/${name}_tables.h)
  add_custom_command(
    OUTPUT ${header}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${BYACC_PROGRAM} -o ${dir}/${name}.tab.c ${grammar}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${dir}/${name}.tab.c -DOUTPUT=${header} -DNAME=${name}
            -P ${PROJECT_SOURCE_DIR}/cmake/YaccTables.cmake
    DEPENDS ${grammar} ${PROJECT_SOURCE_DIR}/cmake/YaccTables.cmake
    COMMENT "Parse tables of ${name}")
  target_sources(${target} PRIVATE ${header})
  target_include_directories(${target} PRIVATE ${dir})
endfunction()
