include(${CMAKE_CURRENT_LIST_DIR}/GTestCases.cmake)

# Wine's settings for every test program: no Mono/Gecko downloads, no crash dialog, no debug output.
set(SOLVANE_WINE_TEST_ENVIRONMENT "WINEDLLOVERRIDES=mscoree,mshtml=\;winedbg.exe=d;WINEDEBUG=-all")

# add_wine_test(<name> <target> [WORKING_DIRECTORY <dir>] [ARGS ...])
# One ctest entry that runs the executable under Wine through the emulator, in the prefix that
# tools/test.sh prepared (WINEPREFIX in the environment).
function(add_wine_test name target)
  cmake_parse_arguments(AWT "" "WORKING_DIRECTORY" "ARGS" ${ARGN})
  if(NOT AWT_WORKING_DIRECTORY)
    set(AWT_WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>)
  endif()
  add_test(NAME ${name} COMMAND ${target} ${AWT_ARGS}
           WORKING_DIRECTORY ${AWT_WORKING_DIRECTORY})
  # Every such test shares the run's one unit prefix (its registry, files and window names):
  # they never run at the same time; simulated-PC tests, each in its own prefix, run beside them.
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "${SOLVANE_WINE_TEST_ENVIRONMENT}"
    RESOURCE_LOCK unit_prefix)
  set_property(TARGET ${target} APPEND PROPERTY SOLVANE_TEST_ENTRIES ${name})
endfunction()

# How the cases of a unit program become ctest entries: CASE (one entry "<target>.<Suite>.<Case>"
# each: every failure and its time show by name; each entry pays one program start, about half a
# second under Wine), SUITE ("<target>.<Suite>") or PROGRAM ("<target>").
set(SOLVANE_UNIT_TEST_ENTRIES CASE CACHE STRING "ctest entries of a unit test program: CASE, SUITE or PROGRAM")
set_property(CACHE SOLVANE_UNIT_TEST_ENTRIES PROPERTY STRINGS CASE SUITE PROGRAM)

# add_gtest_executable(<target> SOURCES ... LIBS ...): a GoogleTest program built for Windows.
# Its cases, read from its sources, become ctest entries as SOLVANE_UNIT_TEST_ENTRIES says (a
# program whose cases cannot be read is one entry "<target>"). An entry whose filter selects no
# case fails, so a case the sources declare is never skipped unnoticed.
function(add_gtest_executable target)
  cmake_parse_arguments(AGE "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${AGE_SOURCES})
  target_link_libraries(${target} PRIVATE ${AGE_LIBS} gmock gtest_main)
  set(cases)
  if(NOT SOLVANE_UNIT_TEST_ENTRIES STREQUAL "PROGRAM")
    gtest_cases(cases ${target})
  endif()
  if(NOT cases)
    add_wine_test(${target} ${target})
    return()
  endif()
  gtest_group_cases(group "${SOLVANE_UNIT_TEST_ENTRIES}" ${cases})
  foreach(entry ${group_NAMES})
    gtest_case_filter(filter ${group_${entry}})
    add_wine_test(${target}.${entry} ${target} ARGS --gtest_filter=${filter})
    set_tests_properties(${target}.${entry} PROPERTIES FAIL_REGULAR_EXPRESSION "Running 0 tests from")
  endforeach()
endfunction()

# gtest_tests(<out> <target>): the ctest entries that run the target (add_gtest_executable,
# add_wine_test and add_sim_test record them).
function(gtest_tests out target)
  get_target_property(entries ${target} SOLVANE_TEST_ENTRIES)
  if(NOT entries)
    set(entries)
  endif()
  set(${out} ${entries} PARENT_SCOPE)
endfunction()

# set_gtest_property(<target> [APPEND] <property> <value>): sets (or appends to) one property of
# every ctest entry of the target; the value is kept whole (ENVIRONMENT lists included).
function(set_gtest_property target)
  set(append)
  set(args ${ARGN})
  list(GET args 0 first)
  if(first STREQUAL "APPEND")
    set(append APPEND)
    set(property "${ARGV2}")
    set(value "${ARGV3}")
  else()
    set(property "${ARGV1}")
    set(value "${ARGV2}")
  endif()
  gtest_tests(entries ${target})
  if(NOT entries)
    message(FATAL_ERROR "set_gtest_property(${target}): the target has no test entries")
  endif()
  set_property(TEST ${entries} ${append} PROPERTY ${property} "${value}")
endfunction()
