# SPDX-License-Identifier: MIT
# The terminal session, the console and platform calls of the game on top
# of it, and the game itself. It needs both other parts of the back end.
if(NOT TARGET blockduel_term_input OR NOT TARGET blockduel_term_screen)
    return()
endif()

add_library(blockduel_term_session STATIC
    ${CMAKE_CURRENT_LIST_DIR}/tty.cpp
    ${CMAKE_CURRENT_LIST_DIR}/signals.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/session.cpp
    ${CMAKE_CURRENT_LIST_DIR}/session_input.cpp
    ${CMAKE_CURRENT_LIST_DIR}/console_backend.cpp
    ${CMAKE_CURRENT_LIST_DIR}/notices.cpp
    ${CMAKE_CURRENT_LIST_DIR}/net_socket.cpp
    ${CMAKE_CURRENT_LIST_DIR}/net_link.cpp
    ${CMAKE_CURRENT_LIST_DIR}/game_host.cpp
    ${CMAKE_CURRENT_LIST_DIR}/game_guest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/net_game.cpp)
target_include_directories(blockduel_term_session PUBLIC ${CMAKE_CURRENT_LIST_DIR}
                           ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(blockduel_term_session
    PUBLIC blockduel_term_input blockduel_term_screen blockduel_net blockduel_cli
    PRIVATE blockduel_warnings)

# The core calls the console and platform functions, so the back end comes
# after it on the link line.
add_executable(blockduel ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(blockduel PRIVATE blockduel_core blockduel_cli blockduel_term_session
                      blockduel_term_input blockduel_term_screen blockduel_warnings)
set_target_properties(blockduel PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
