# SPDX-License-Identifier: MIT
# The input part of the terminal back end: the byte decoder and the key
# state. Pure units, no terminal: the session feeds them and the tests and
# the fuzzer drive them directly.
add_library(blockduel_term_input STATIC
    ${CMAKE_CURRENT_LIST_DIR}/input_decoder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/key_state.cpp)
target_include_directories(blockduel_term_input PUBLIC ${PROJECT_SOURCE_DIR}/src/platform/terminal
                           ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(blockduel_term_input PRIVATE blockduel_warnings)
