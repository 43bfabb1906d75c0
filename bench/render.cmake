# The terminal renderer over a recorded game: bytes sent per frame against
# the floor of the cells that changed, and CPU time per render.
if(TARGET blockduel_term_screen)
    add_executable(blockduel_render_bench ${CMAKE_CURRENT_LIST_DIR}/render_bench.cpp
                   ${CMAKE_CURRENT_LIST_DIR}/game_frames.cpp)
    target_link_libraries(blockduel_render_bench PRIVATE blockduel_term_screen blockduel_memory
                          benchmark::benchmark blockduel_warnings)
endif()
