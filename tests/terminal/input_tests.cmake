# Tests of the input part: the decoder and the key state, and the fuzz
# target replayed over its seed corpus and its regression inputs.
add_executable(blockduel_term_input_tests
    ${CMAKE_CURRENT_LIST_DIR}/input_decoder_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/key_state_test.cpp)
target_link_libraries(blockduel_term_input_tests PRIVATE blockduel_term_input GTest::gtest_main
                      blockduel_warnings)
include(GoogleTest)
gtest_discover_tests(blockduel_term_input_tests DISCOVERY_TIMEOUT 60)

add_executable(blockduel_input_fuzz_replay
    ${PROJECT_SOURCE_DIR}/fuzz/input_decoder_fuzz.cpp
    ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
target_link_libraries(blockduel_input_fuzz_replay PRIVATE blockduel_term_input blockduel_warnings)
add_test(NAME InputDecoderFuzz.SeedsAndRegressions
         COMMAND blockduel_input_fuzz_replay ${PROJECT_SOURCE_DIR}/fuzz/corpus/input_decoder
                 ${PROJECT_SOURCE_DIR}/fuzz/regressions/input_decoder)
