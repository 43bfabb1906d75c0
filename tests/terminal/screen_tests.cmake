# SPDX-License-Identifier: MIT
# Tests of the screen part: cell buffer, glyphs, colours, the renderer.
find_package(PkgConfig REQUIRED)
pkg_check_modules(VTERM REQUIRED IMPORTED_TARGET vterm)

# libvterm behind a small interface; the session's tests use it too.
add_library(blockduel_vterm_screen STATIC ${CMAKE_CURRENT_LIST_DIR}/vterm_screen.cpp)
target_include_directories(blockduel_vterm_screen PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(blockduel_vterm_screen PUBLIC blockduel_term_screen
                      PRIVATE PkgConfig::VTERM blockduel_warnings)

add_executable(blockduel_screen_tests ${CMAKE_CURRENT_LIST_DIR}/screen_buffer_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/renderer_test.cpp ${CMAKE_CURRENT_LIST_DIR}/render_vterm_test.cpp)
target_link_libraries(blockduel_screen_tests PRIVATE blockduel_vterm_screen GTest::gtest_main
                      blockduel_warnings)
gtest_discover_tests(blockduel_screen_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS screen)
