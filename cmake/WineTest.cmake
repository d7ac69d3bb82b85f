# add_wine_test(<name> <target> [ARGS ...])
# One ctest entry per test executable; the executable runs under Wine through the emulator
# in the prefix that tools/test.sh prepared (WINEPREFIX in the environment).
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
    ENVIRONMENT "WINEDLLOVERRIDES=mscoree,mshtml=\;winedbg.exe=d;WINEDEBUG=-all"
    RESOURCE_LOCK unit_prefix)
endfunction()

# add_gtest_executable(<target> SOURCES ... LIBS ...): a GoogleTest program built for Windows.
function(add_gtest_executable target)
  cmake_parse_arguments(AGE "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${AGE_SOURCES})
  target_link_libraries(${target} PRIVATE ${AGE_LIBS} gmock gtest_main)
  add_wine_test(${target} ${target})
endfunction()
