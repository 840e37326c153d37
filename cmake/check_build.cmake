# Checks the build a user meets: configured with no options, in a scratch folder, ruk needs
# neither GoogleTest nor Google Benchmark, no test target exists, and warnings are shown but
# do not stop the build; and the progress filter of `make` hides the per-file lines, passes
# everything else through and keeps the build's exit status.
#   cmake -DSOURCE=<source folder> -DSCRATCH=<scratch folder> -P cmake/check_build.cmake
set(problems "")
file(REMOVE_RECURSE "${SCRATCH}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -S "${SOURCE}" -B "${SCRATCH}"
          -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
  RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "configuring with no options and no GoogleTest failed:\n${err}")
endif()

file(READ "${SCRATCH}/CMakeCache.txt" cache)
foreach(setting "BUILD_TESTING:BOOL=OFF" "RUK_WERROR:BOOL=OFF")
  string(FIND "${cache}" "\n${setting}\n" at)
  if(at EQUAL -1)
    string(APPEND problems "the default build lacks ${setting}\n")
  endif()
endforeach()

file(READ "${SCRATCH}/CMakeFiles/ruk_core.dir/flags.make" flags)
if(NOT flags MATCHES "-Wall" OR NOT flags MATCHES "-Wextra")
  string(APPEND problems "the default build does not show warnings (-Wall -Wextra)\n")
endif()
if(NOT flags MATCHES "-O[23]")
  string(APPEND problems "the default build is not optimised\n")
endif()
if(flags MATCHES "-Werror")
  string(APPEND problems "the default build stops at warnings (-Werror)\n")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} --build "${SCRATCH}" --target help
  OUTPUT_VARIABLE targets RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT targets MATCHES "\\.\\.\\. ruk\n")
  string(APPEND problems "the default build has no target ruk\n")
endif()
if(targets MATCHES "ruk_counted|_test\n")
  string(APPEND problems "the default build has test targets:\n${targets}\n")
endif()
file(REMOVE_RECURSE "${SCRATCH}")

# The progress filter, on a stand-in for a build that warns and fails.
execute_process(
  COMMAND sh "${SOURCE}/cmake/progress.sh" sh -c
          "echo '[  3%] Building CXX object CMakeFiles/ruk_core.dir/core/cell.cpp.o'; echo 'core/cell.cpp:1:1: warning: w' >&2; echo '[100%] Built target ruk'; exit 3"
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 3)
  string(APPEND problems "the progress filter turned status 3 into ${status}\n")
endif()
if(NOT out STREQUAL "core/cell.cpp:1:1: warning: w\n" OR NOT err STREQUAL "")
  string(APPEND problems "the progress filter showed [${out}] and [${err}]\n")
endif()

if(problems)
  message(FATAL_ERROR "${problems}")
endif()
