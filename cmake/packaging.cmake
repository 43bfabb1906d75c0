# SPDX-License-Identifier: MIT
# Installing the game (cmake --install) and packing it (cpack): a Debian
# package on Linux, a zip of the executable on Windows.
include(GNUInstallDirs)

# `cmake --install` puts the game in bin/ as usual; the Debian package puts
# it in /usr/games, where Debian's policy wants games. Each place is a
# component of its own, and the package takes only the second.
install(TARGETS blockduel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
if(NOT WIN32)
    install(TARGETS blockduel RUNTIME DESTINATION games COMPONENT debian EXCLUDE_FROM_ALL)
    # The licence, as Debian's machine-readable copyright file.
    install(FILES ${PROJECT_SOURCE_DIR}/doc/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR}
            COMPONENT docs)
endif()
# The man page goes in compressed, as Debian's policy asks and every man
# reader takes it; -n leaves the time out, so the same page packs the same.
if(NOT WIN32)
    set(manSource ${PROJECT_SOURCE_DIR}/doc/blockduel.6)
    set(manPage ${PROJECT_BINARY_DIR}/blockduel.6.gz)
    add_custom_command(OUTPUT ${manPage} COMMAND gzip -9 -n -c ${manSource} > ${manPage}
                       DEPENDS ${manSource} COMMENT "Compressing the man page")
    add_custom_target(blockduel_man_page ALL DEPENDS ${manPage})
    install(FILES ${manPage} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT docs)
endif()

set(CPACK_PACKAGE_NAME blockduel)
set(CPACK_PACKAGE_VENDOR "blockduel maintainers")
set(CPACK_PACKAGE_CONTACT
    "blockduel maintainers <maintainers@users.noreply.c-seed-a9b32797.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "falling-block puzzle game for two players at one keyboard")
set(CPACK_PACKAGE_DESCRIPTION
"Two players share one keyboard and one terminal, each with a board of their
own. Pieces fall under one shared rhythm; a full row clears, scores 18 points
and sends a penalty cell to the other board. The game ends for both when
either stack reaches the top. Both players can hold keys at once in terminals
with the kitty keyboard protocol; elsewhere the game reads key repeats.")
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_COMPONENTS_ALL debian docs)
    set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
    set(CPACK_DEB_COMPONENT_INSTALL ON)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the game links, as dpkg-shlibdeps finds them: libc6,
# libstdc++6 and libgcc-s1 at the versions of the build machine.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
