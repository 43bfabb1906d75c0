# SPDX-License-Identifier: MIT
# The terminal renderer over a recorded game: bytes sent per frame against
# the floor of the cells that changed, and CPU time per render.
if(TARGET blockduel_term_screen)
    # The floor of what a terminal must be sent, for this and the figures.
    add_library(blockduel_output_floor STATIC ${CMAKE_CURRENT_LIST_DIR}/output_floor.cpp)
    target_include_directories(blockduel_output_floor PUBLIC ${CMAKE_CURRENT_LIST_DIR})
    target_link_libraries(blockduel_output_floor PUBLIC blockduel_term_screen
                          PRIVATE blockduel_warnings)

    add_executable(blockduel_render_bench ${CMAKE_CURRENT_LIST_DIR}/render_bench.cpp
                   ${CMAKE_CURRENT_LIST_DIR}/game_frames.cpp)
    target_link_libraries(blockduel_render_bench PRIVATE blockduel_output_floor blockduel_memory
                          benchmark::benchmark blockduel_warnings)
endif()
