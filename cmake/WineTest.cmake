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

# add_gtest_executable(<target> SOURCES ... LIBS ...): a GoogleTest program built for Windows.
# Every case of its sources is its own ctest entry "<target>.<Suite>.<Case>" (a program whose
# cases cannot be read from its sources is one entry "<target>"). An entry whose filter selects
# no case fails, so a case the sources declare is never skipped unnoticed.
function(add_gtest_executable target)
  cmake_parse_arguments(AGE "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${AGE_SOURCES})
  target_link_libraries(${target} PRIVATE ${AGE_LIBS} gmock gtest_main)
  gtest_cases(cases ${target})
  if(NOT cases)
    add_wine_test(${target} ${target})
    return()
  endif()
  foreach(case ${cases})
    gtest_case_filter(filter ${case})
    add_wine_test(${target}.${case} ${target} ARGS --gtest_filter=${filter})
    set_tests_properties(${target}.${case} PROPERTIES FAIL_REGULAR_EXPRESSION "Running 0 tests from")
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
