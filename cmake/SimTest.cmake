# add_sim_test(<name> <target> PROFILE <profile> [TIMEOUT <seconds>] [ENVIRONMENT VAR=value ...]
#              [ARGS ...])
# One ctest entry that builds a fresh simulated PC of the profile (sim/machine/make-machine.sh),
# runs the target's exe in it through sim/machine/sim-test.sh and removes the PC again.
# The program finds simctl and the product through SIM_BIN / PRODUCT_BIN (Windows paths).
function(add_sim_test name target)
  cmake_parse_arguments(AST "" "PROFILE;TIMEOUT" "ARGS;ENVIRONMENT" ${ARGN})
  if(NOT AST_PROFILE)
    message(FATAL_ERROR "add_sim_test(${name}): PROFILE is required")
  endif()
  if(NOT EXISTS ${CMAKE_SOURCE_DIR}/sim/machine/profiles/${AST_PROFILE}.env)
    message(FATAL_ERROR "add_sim_test(${name}): no profile sim/machine/profiles/${AST_PROFILE}.env")
  endif()
  if(NOT AST_TIMEOUT)
    set(AST_TIMEOUT 120)
  endif()
  add_test(NAME ${name}
           COMMAND bash ${CMAKE_SOURCE_DIR}/sim/machine/sim-test.sh --profile ${AST_PROFILE}
                   --timeout ${AST_TIMEOUT} -- $<TARGET_FILE:${target}> ${AST_ARGS}
           WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>)
  # ctest's own limit leaves room for building the PC and for the cleanup after a time-out.
  math(EXPR ctest_timeout "${AST_TIMEOUT} + 90")
  set(environment "SOLVANE_SOURCE_DIR=${CMAKE_SOURCE_DIR}" "SOLVANE_BUILD_DIR=${CMAKE_BINARY_DIR}"
      "WINEDLLOVERRIDES=mscoree,mshtml=\;winedbg.exe=d" "WINEDEBUG=-all" ${AST_ENVIRONMENT})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ctest_timeout} ENVIRONMENT "${environment}")
  # Building a simulated PC needs the stand-ins and simctl.
  if(TARGET simctl)
    add_dependencies(${target} simctl)
  endif()
endfunction()
