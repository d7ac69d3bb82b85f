include(${CMAKE_CURRENT_LIST_DIR}/GTestCases.cmake)

# add_sim_test(<name> <target> PROFILE <profile> [TIMEOUT <seconds>] [ENVIRONMENT VAR=value ...]
#              [GROUP SUITE|CASE|PROGRAM] [ARGS ...])
# Runs the target's exe on a fresh simulated PC of the profile through sim/machine/sim-test.sh
# (a copy of the PC tools/test.sh prepared for the run, else one built by
# sim/machine/make-machine.sh), which removes the PC afterwards. The program finds simctl and the
# product through SIM_BIN / PRODUCT_BIN (Windows paths).
# Every ctest entry pays for a PC of its own: a copy (about 1.5 s), its boot (the services and
# the device driver start: 3 to 7 s) and its removal, so by default the program's cases share
# one entry "<name>" (GROUP PROGRAM). GROUP SUITE splits the cases of the target's sources that
# pass the --gtest_filter of ARGS into entries "<name>.<Suite>", GROUP CASE into
# "<name>.<Suite>.<Case>" (worth it for long suites whose failures should show by name).
function(add_sim_test name target)
  cmake_parse_arguments(AST "" "PROFILE;TIMEOUT;GROUP" "ARGS;ENVIRONMENT" ${ARGN})
  if(NOT AST_PROFILE)
    message(FATAL_ERROR "add_sim_test(${name}): PROFILE is required")
  endif()
  if(NOT EXISTS ${CMAKE_SOURCE_DIR}/sim/machine/profiles/${AST_PROFILE}.env)
    message(FATAL_ERROR "add_sim_test(${name}): no profile sim/machine/profiles/${AST_PROFILE}.env")
  endif()
  if(NOT AST_TIMEOUT)
    set(AST_TIMEOUT 120)
  endif()
  if(NOT AST_GROUP)
    set(AST_GROUP PROGRAM)
  endif()
  if(NOT AST_GROUP MATCHES "^(SUITE|CASE|PROGRAM)$")
    message(FATAL_ERROR "add_sim_test(${name}): GROUP is SUITE, CASE or PROGRAM")
  endif()
  gtest_split_filter(args filter ${AST_ARGS})
  set(cases)
  if(NOT AST_GROUP STREQUAL "PROGRAM")
    if(filter STREQUAL "")
      gtest_cases(cases ${target})
    else()
      gtest_cases(cases ${target} FILTER "${filter}")
    endif()
  endif()
  # ctest's own limit leaves room for building the PC and for the cleanup after a time-out.
  math(EXPR ctest_timeout "${AST_TIMEOUT} + 90")
  set(environment "SOLVANE_SOURCE_DIR=${CMAKE_SOURCE_DIR}" "SOLVANE_BUILD_DIR=${CMAKE_BINARY_DIR}"
      "${SOLVANE_WINE_TEST_ENVIRONMENT}" ${AST_ENVIRONMENT})
  set(command bash ${CMAKE_SOURCE_DIR}/sim/machine/sim-test.sh --profile ${AST_PROFILE}
              --timeout ${AST_TIMEOUT} -- $<TARGET_FILE:${target}>)
  # Each entry runs in a folder of its own: the program's ".\error.log" and other files of the
  # current folder never mix with those of the unit tests that run beside it in the build's bin.
  set(workdir ${CMAKE_BINARY_DIR}/simwork/${name})
  file(MAKE_DIRECTORY ${workdir})
  if(NOT cases)
    add_test(NAME ${name} COMMAND ${command} ${AST_ARGS} WORKING_DIRECTORY ${workdir})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ctest_timeout} ENVIRONMENT "${environment}")
    set_property(TARGET ${target} APPEND PROPERTY SOLVANE_TEST_ENTRIES ${name})
  else()
    gtest_group_cases(group ${AST_GROUP} ${cases})
    foreach(entry ${group_NAMES})
      gtest_case_filter(entry_filter ${group_${entry}})
      add_test(NAME ${name}.${entry} COMMAND ${command} ${args} --gtest_filter=${entry_filter}
               WORKING_DIRECTORY ${workdir})
      set_tests_properties(${name}.${entry} PROPERTIES TIMEOUT ${ctest_timeout} ENVIRONMENT "${environment}"
                           FAIL_REGULAR_EXPRESSION "Running 0 tests from")
      set_property(TARGET ${target} APPEND PROPERTY SOLVANE_TEST_ENTRIES ${name}.${entry})
    endforeach()
  endif()
  # Building a simulated PC needs the stand-ins and simctl.
  if(TARGET simctl)
    add_dependencies(${target} simctl)
  endif()
endfunction()

# The target "machine_parts" builds what a simulated PC is made of (everything under sim/ and the
# product's programs), so that tools/test.sh can prepare the PCs while the tests still compile.
function(_solvane_collect_targets out dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(children DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(child ${children})
    _solvane_collect_targets(child_targets ${child})
    list(APPEND targets ${child_targets})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(_solvane_add_machine_parts)
  set(parts)
  if(EXISTS ${CMAKE_SOURCE_DIR}/sim/CMakeLists.txt AND SOLVANE_SIM)
    _solvane_collect_targets(parts ${CMAKE_SOURCE_DIR}/sim)
  endif()
  foreach(product Solvane Vendrel Tarvik)
    if(TARGET ${product})
      list(APPEND parts ${product})
    endif()
  endforeach()
  set(buildable)
  foreach(part ${parts})
    get_target_property(type ${part} TYPE)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      list(APPEND buildable ${part})
    endif()
  endforeach()
  add_custom_target(machine_parts)
  if(buildable)
    add_dependencies(machine_parts ${buildable})
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _solvane_add_machine_parts)
