# SPDX-License-Identifier: MIT
# The screen part of the terminal back end: the console's cell buffer, the
# renderer that sends the terminal only what changed, glyphs and colours.
add_library(blockduel_term_screen STATIC
    ${CMAKE_CURRENT_LIST_DIR}/screen_buffer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/glyphs.cpp
    ${CMAKE_CURRENT_LIST_DIR}/escapes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/renderer.cpp)
target_include_directories(blockduel_term_screen PUBLIC ${PROJECT_SOURCE_DIR}/src/platform/terminal
                           ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(blockduel_term_screen PRIVATE blockduel_warnings)
