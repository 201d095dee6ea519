# Helpers that every subsystem uses to declare its tests, fuzzers and benchmarks.

include(GoogleTest)

# The suites whose cases run threads against each other: the thread-sanitizer build (ORVIX_TSAN)
# builds and runs these alone. (platform_loading_test counts the process's threads, which the
# sanitizer's own background thread upsets.)
set(ORVIX_THREADED_TESTS
  platform_kernel_test platform_net_test platform_ui_test platform_mm_test
  signaling_engine_test
  videolib_test channel_LocPlexa_test channel_Plexa_test
  stream_test stream_playout_test stream_hostile_test stream_dvrsim_test stream_audio_live_test
  control_test control_live_test
  device_protocol_dvrsim_test
  dvrsim_test)

# The test framework and the standard headers most tests include, parsed once for all test
# binaries: the test sources are more than half of what a sanitizer build compiles.
function(orvix_test_precompiled_headers)
  if(TARGET orvix_test_pch)
    return()
  endif()
  # An executable, so that it is compiled exactly as the test binaries are (position-independent
  # executable code, not a library's).
  file(WRITE ${CMAKE_BINARY_DIR}/orvix_test_pch.cpp "int main() { return 0; }\n")
  add_executable(orvix_test_pch ${CMAKE_BINARY_DIR}/orvix_test_pch.cpp)
  target_link_libraries(orvix_test_pch PRIVATE GTest::gtest GTest::gmock Threads::Threads)
  target_precompile_headers(orvix_test_pch PRIVATE
    <gtest/gtest.h> <gmock/gmock.h> <algorithm> <atomic> <chrono> <cstdio> <cstdlib> <cstring>
    <filesystem> <fstream> <functional> <map> <memory> <mutex> <random> <sstream> <string>
    <thread> <vector>)
endfunction()

# orvix_test(NAME <target> LABEL unit|integration|slow SOURCES ... LIBS ... [TIMEOUT s]
#             [PREFIX p] [RESOURCE_LOCK name])
# One GoogleTest binary; each of its cases becomes a CTest test carrying LABEL, its name led by
# PREFIX when given (for one test source built into several binaries). Cases of binaries that
# share a RESOURCE_LOCK (a fixed port, say) never run at the same time.
function(orvix_test)
  cmake_parse_arguments(T "" "NAME;LABEL;TIMEOUT;PREFIX;RESOURCE_LOCK" "SOURCES;LIBS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # Cases that hold a shared resource run one after another: started first (the highest COST
  # goes first where ctest has no timings of its own yet, as on a fresh machine), they do not
  # end the run alone on one core while the other waits.
  set(T_LOCK COST 0)
  if(T_RESOURCE_LOCK)
    set(T_LOCK RESOURCE_LOCK ${T_RESOURCE_LOCK} COST 1000)
  elseif(T_LABEL STREQUAL "integration" OR T_LABEL STREQUAL "slow")
    set(T_LOCK COST 10)
  endif()
  if(ORVIX_FUZZ)
    return()  # the fuzz build carries the fuzzers alone
  endif()
  if(ORVIX_TSAN AND NOT T_NAME IN_LIST ORVIX_THREADED_TESTS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main
                        Threads::Threads)
  orvix_test_precompiled_headers()
  target_precompile_headers(${T_NAME} REUSE_FROM orvix_test_pch)
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    TEST_PREFIX "${T_PREFIX}"
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT} ${T_LOCK})
endfunction()

# orvix_fuzzer(NAME <target> SOURCES ... LIBS ...)
# A libFuzzer target, built only when ORVIX_FUZZ is on. A short smoke run over the
# seed inputs joins the test suite with the label "fuzz".
function(orvix_fuzzer)
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT ORVIX_FUZZ)
    return()
  endif()
  add_executable(${F_NAME} ${F_SOURCES})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  # The fuzz build makes the fuzzers alone (and what they link), not the programs.
  if(NOT TARGET fuzzers)
    add_custom_target(fuzzers)
  endif()
  add_dependencies(fuzzers ${F_NAME})
  add_test(NAME ${F_NAME}.smoke COMMAND ${F_NAME} -runs=20000 -max_len=4096)
  set_tests_properties(${F_NAME}.smoke PROPERTIES LABELS fuzz TIMEOUT 300)
endfunction()

# orvix_benchmark(NAME <target> SOURCES ... LIBS ...)
function(orvix_benchmark)
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT ORVIX_BENCH)
    return()
  endif()
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} benchmark::benchmark Threads::Threads)
endfunction()
