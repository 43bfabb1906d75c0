# SPDX-License-Identifier: MIT
# The terminal session on a pty and on pipes, and the game end to end in tmux.
if(NOT TARGET blockduel_term_session OR NOT TARGET blockduel_vterm_screen)
    return()
endif()

add_executable(blockduel_session_tests ${CMAKE_CURRENT_LIST_DIR}/session_test.cpp
               ${CMAKE_CURRENT_LIST_DIR}/session_pipe_test.cpp)
# The core calls the console and platform functions, so the session that
# answers them comes after it on the link line.
target_link_libraries(blockduel_session_tests PRIVATE blockduel_core blockduel_term_session
                      blockduel_vterm_screen GTest::gtest_main blockduel_warnings)
gtest_discover_tests(blockduel_session_tests DISCOVERY_TIMEOUT 60)

# End to end in tmux: each case starts its own tmux server and ends it.
foreach(case play ways-out small-terminal not-a-terminal)
    add_test(NAME e2e.${case}
             COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/tmux_e2e.sh $<TARGET_FILE:blockduel> ${case})
    set_tests_properties(e2e.${case} PROPERTIES TIMEOUT 60)
endforeach()

# The network game: host and guest sessions in one process.
add_executable(blockduel_net_session_tests ${CMAKE_CURRENT_LIST_DIR}/net_session_test.cpp
               ${CMAKE_CURRENT_LIST_DIR}/net_rig.cpp)
target_link_libraries(blockduel_net_session_tests PRIVATE blockduel_core blockduel_term_session
                      blockduel_vterm_screen GTest::gtest_main blockduel_warnings)
gtest_discover_tests(blockduel_net_session_tests DISCOVERY_TIMEOUT 60)
