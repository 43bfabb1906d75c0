# SPDX-License-Identifier: MIT
# The figures of the real terminal back end; bench/figures.sh runs them all.
if(NOT TARGET blockduel_term_session OR NOT TARGET blockduel_output_floor)
    return()
endif()

# Bytes sent through a pipe in play, against the floor. The game's sleeps
# and seconds go to the virtual clock of the screenshot tool (see there),
# so the figures repeat exactly.
add_executable(blockduel_output_figures ${CMAKE_CURRENT_LIST_DIR}/output_figures.cpp)
target_link_libraries(blockduel_output_figures PRIVATE blockduel_core blockduel_term_session
                      blockduel_output_floor blockduel_warnings)
add_test(NAME Figures.OutputSmoke COMMAND blockduel_output_figures 5)

# Time from start to the first complete picture, on a pty that answers at
# once; libvterm tells when the picture is complete.
if(TARGET blockduel_vterm_screen)
    add_executable(blockduel_startup_figures ${CMAKE_CURRENT_LIST_DIR}/startup_figures.cpp)
    target_link_libraries(blockduel_startup_figures PRIVATE blockduel_vterm_screen util
                          blockduel_warnings)
    add_test(NAME Figures.StartupSmoke COMMAND blockduel_startup_figures
             $<TARGET_FILE:blockduel> 2)
endif()

# Watches a game in a tmux pane: its rate readout every second, its CPU
# time and peak memory from /proc.
add_executable(blockduel_pane_watch ${CMAKE_CURRENT_LIST_DIR}/pane_watch.cpp)
target_link_libraries(blockduel_pane_watch PRIVATE blockduel_warnings)
