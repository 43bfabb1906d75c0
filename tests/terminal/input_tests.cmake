# SPDX-License-Identifier: MIT
# The input part's tests, and its fuzz target replayed over its seeds and regressions.
add_executable(blockduel_term_input_tests ${CMAKE_CURRENT_LIST_DIR}/input_test.cpp)
target_link_libraries(blockduel_term_input_tests PRIVATE blockduel_term_input GTest::gtest_main
                      blockduel_warnings)
include(GoogleTest)
gtest_discover_tests(blockduel_term_input_tests DISCOVERY_TIMEOUT 60)

set(input_fuzz ${PROJECT_SOURCE_DIR}/fuzz)
add_executable(blockduel_input_fuzz_replay ${input_fuzz}/input_decoder_fuzz.cpp
                                           ${input_fuzz}/replay_main.cpp)
target_link_libraries(blockduel_input_fuzz_replay PRIVATE blockduel_term_input blockduel_warnings)
add_test(NAME InputDecoderFuzz.SeedsAndRegressions COMMAND blockduel_input_fuzz_replay
         ${input_fuzz}/corpus/input_decoder ${input_fuzz}/regressions/input_decoder)
