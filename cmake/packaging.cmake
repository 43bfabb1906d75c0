# SPDX-License-Identifier: MIT
# Installing the game (cmake --install) and packing it (cpack): a Debian
# package on Linux, a zip of the executable on Windows, and a source archive.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME blockduel)
set(CPACK_PACKAGE_VERSION ${BLOCKDUEL_VERSION})
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

# The time of the sources, which the package's changelog and the software
# centres' release date show, so that a build of the same sources packs
# the same: SOURCE_DATE_EPOCH when set, else the last commit's time, from
# git or, in an archive that git archive made, from packaging/source-time.
set(sourceEpoch "$ENV{SOURCE_DATE_EPOCH}")
if(NOT sourceEpoch MATCHES "^[0-9]+$")
    file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/source-time sourceEpoch LIMIT_COUNT 1)
endif()
if(NOT sourceEpoch MATCHES "^[0-9]+$")
    find_package(Git QUIET)
    if(GIT_FOUND)
        execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE sourceEpoch
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
endif()
if(NOT sourceEpoch MATCHES "^[0-9]+$")
    string(TIMESTAMP sourceEpoch "%s" UTC)
endif()
# string(TIMESTAMP) reads the time from SOURCE_DATE_EPOCH when it is set.
set(givenEpoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${sourceEpoch})
string(TIMESTAMP sourceTime "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP sourceDay "%Y-%m-%d" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${givenEpoch}")

# `cmake --install` puts the game in bin/ as usual; the Debian package puts
# it in /usr/games, where Debian's policy wants games. Each place is a
# component of its own, and the package takes only the second.
install(TARGETS blockduel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
if(NOT WIN32)
    install(TARGETS blockduel RUNTIME DESTINATION games COMPONENT debian EXCLUDE_FROM_ALL)
    # The licence, as Debian's machine-readable copyright file.
    install(FILES ${PROJECT_SOURCE_DIR}/doc/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR}
            COMPONENT docs)

    # The man page and the package's changelog go in compressed, as Debian's
    # policy asks and every reader takes them; -n leaves the time out, so
    # the same text packs the same.
    set(manSource ${PROJECT_SOURCE_DIR}/doc/blockduel.6)
    set(manPage ${PROJECT_BINARY_DIR}/blockduel.6.gz)
    add_custom_command(OUTPUT ${manPage} COMMAND gzip -9 -n -c ${manSource} > ${manPage}
                       DEPENDS ${manSource} COMMENT "Compressing the man page")
    install(FILES ${manPage} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT docs)

    set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
    set(debianVersion ${BLOCKDUEL_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
    set(changelogSource ${PROJECT_BINARY_DIR}/changelog.Debian)
    set(changelog ${PROJECT_BINARY_DIR}/changelog.Debian.gz)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.Debian.in ${changelogSource} @ONLY)
    add_custom_command(OUTPUT ${changelog} COMMAND gzip -9 -n -c ${changelogSource} > ${changelog}
                       DEPENDS ${changelogSource} COMMENT "Compressing the package's changelog")
    add_custom_target(blockduel_compressed_docs ALL DEPENDS ${manPage} ${changelog})
    install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian
            EXCLUDE_FROM_ALL)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME blockduel
            COMPONENT debian EXCLUDE_FROM_ALL)

    # A menu entry that opens the game in a terminal, with its icon, and
    # what software centres show of it, under the one AppStream ID.
    set(appId org.blockduel.blockduel)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/blockduel.metainfo.xml.in
                   ${PROJECT_BINARY_DIR}/${appId}.metainfo.xml @ONLY)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/blockduel.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications RENAME ${appId}.desktop
            COMPONENT desktop)
    install(FILES ${PROJECT_BINARY_DIR}/${appId}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT desktop)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/blockduel.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT desktop)
endif()

if(WIN32)
    set(CPACK_GENERATOR ZIP)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_COMPONENTS_ALL debian docs desktop)
    set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
    set(CPACK_DEB_COMPONENT_INSTALL ON)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the game links, as dpkg-shlibdeps finds them: libc6,
# libstdc++6 and libgcc-s1 at the versions of the build machine.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# `cpack --config CPackSourceConfig.cmake`: the sources without what builds
# and releases leave in the tree, nor git's own files.
set(CPACK_SOURCE_GENERATOR TGZ)
# The patterns are regular expressions that CPack reads back from a CMake
# file it writes, as quoted strings: each backslash of the expression is
# written twice, or a source folder with a '.' in its path (as an unpacked
# release's blockduel-0.1.0) reads back as "Invalid escape sequence \." and
# nothing is left out.
string(REGEX REPLACE "([][+.*()^$?|\\\\])" "\\\\\\\\\\1" sourceDirPattern "${PROJECT_SOURCE_DIR}")
set(CPACK_SOURCE_IGNORE_FILES "^${sourceDirPattern}/(build|dist|\\\\.git)(/|$)"
    "^${sourceDirPattern}/compile_commands\\\\.json$")

include(CPack)
