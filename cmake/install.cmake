# The installed layout (cmake --install --prefix P) and the Debian package:
#   P/bin/delve, delve-replay, delve-check, delve-tiles; P/games/delve a link
#   P/share/delve/{res,tiles}           read-only; the game copies it to the
#                                       player's folder on its first run
#   P/share/applications, icons/hicolor, metainfo, man/man{1,6}, doc/delve
include(GNUInstallDirs)

set(DELVE_APP_ID org.delvegame.Delve)
set(DELVE_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)
set(DELVE_INSTALL_FILES ${CMAKE_BINARY_DIR}/install-files)
# The install never builds everything (tests, benchmarks) first: the
# install-files target below and the four programs are all it needs.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Tiles of their own for the install, apart from the staged folder in which
# the game may already have been played (and so have written files).
delve_build_tiles(delve-tiles ${DELVE_INSTALL_FILES}/tiles ${DELVE_INSTALL_FILES}/tiles.stamp "Building the tile files to install")

# The application icon: a party portrait, scaled up nearest-neighbour.
set(DELVE_ICON_ART ${CMAKE_SOURCE_DIR}/assets/tiles/party/garr_001.txt)
set(DELVE_ICON_OUTPUTS)
foreach(size 32 64 128 256)
  set(icon ${DELVE_INSTALL_FILES}/icons/${size}x${size}/apps/${DELVE_APP_ID}.png)
  add_custom_command(
    OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${DELVE_INSTALL_FILES}/icons/${size}x${size}/apps
    COMMAND delve-tiles icon ${DELVE_INSTALL_FILES}/tiles/party/garr_001.til ${size} ${icon}
    DEPENDS delve-tiles ${DELVE_INSTALL_FILES}/tiles.stamp ${DELVE_ICON_ART}
    COMMENT "Drawing the ${size}x${size} icon")
  list(APPEND DELVE_ICON_OUTPUTS ${icon})
endforeach()

# The version is written once, in project(); the man pages take it from
# there. The changelog and the metainfo keep a history of releases, so their
# newest entry must name it: a release that forgot them stops here.
file(STRINGS ${DELVE_PACKAGING}/changelog DELVE_CHANGELOG_TOP LIMIT_COUNT 1)
file(READ ${DELVE_PACKAGING}/${DELVE_APP_ID}.metainfo.xml DELVE_METAINFO)
string(REGEX MATCH "<release version=\"([^\"]*)\"" DELVE_METAINFO_RELEASE "${DELVE_METAINFO}")
set(DELVE_METAINFO_RELEASE "${CMAKE_MATCH_1}")
if(NOT DELVE_CHANGELOG_TOP MATCHES "^delve \\(${PROJECT_VERSION}\\) "
   OR NOT DELVE_METAINFO_RELEASE STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog and the metainfo's newest release must both name version "
                      "${PROJECT_VERSION}, as project() does")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${DELVE_PACKAGING}/changelog ${DELVE_PACKAGING}/${DELVE_APP_ID}.metainfo.xml)

# Man pages and the changelog gzipped reproducibly (no name, no time stamp).
set(DELVE_GZIP_OUTPUTS)
foreach(page delve.6 delve-replay.1 delve-check.1 delve-tiles.1 changelog)
  if(page STREQUAL "changelog")
    set(source ${DELVE_PACKAGING}/changelog)
  else()
    set(source ${DELVE_INSTALL_FILES}/man/${page})
    configure_file(${DELVE_PACKAGING}/man/${page} ${source} @ONLY)
  endif()
  add_custom_command(
    OUTPUT ${DELVE_INSTALL_FILES}/${page}.gz
    COMMAND sh -c "gzip -9n -c '${source}' > '${DELVE_INSTALL_FILES}/${page}.gz'"
    DEPENDS ${source}
    VERBATIM)
  list(APPEND DELVE_GZIP_OUTPUTS ${DELVE_INSTALL_FILES}/${page}.gz)
endforeach()

add_custom_target(install-files ALL DEPENDS ${DELVE_INSTALL_FILES}/tiles.stamp ${DELVE_ICON_OUTPUTS}
                                            ${DELVE_GZIP_OUTPUTS})

install(TARGETS delve delve-replay delve-check delve-tiles RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Debian keeps games in /usr/games: the game is found there too (the tools
# stay in bin/ beside it, and the link leads the game back to its data).
install(CODE "file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/games\")
file(CREATE_LINK ../${CMAKE_INSTALL_BINDIR}/delve \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/games/delve\" SYMBOLIC)")
install(DIRECTORY ${CMAKE_SOURCE_DIR}/res ${DELVE_INSTALL_FILES}/tiles
        DESTINATION ${CMAKE_INSTALL_DATADIR}/delve
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
        DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(FILES ${DELVE_PACKAGING}/${DELVE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${DELVE_PACKAGING}/${DELVE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${DELVE_INSTALL_FILES}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${DELVE_INSTALL_FILES}/delve.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${DELVE_INSTALL_FILES}/delve-replay.1.gz ${DELVE_INSTALL_FILES}/delve-check.1.gz
              ${DELVE_INSTALL_FILES}/delve-tiles.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${DELVE_PACKAGING}/copyright ${DELVE_INSTALL_FILES}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# cpack -G DEB in the build folder: delve_<version>_amd64.deb.
set(CPACK_PACKAGE_NAME delve)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Delve developers")
set(CPACK_PACKAGE_CONTACT "The Delve developers <delve@delvegame.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn-based dungeon game for one player")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://delvegame.org/")
# The summary above is the synopsis; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Delve is a single-player, turn-based dungeon game played at the keyboard.
You lead a party of up to seven through levels made at random from a seed:
rooms, doors and gates, gold, potions, chests, orbs and five kinds of
monster. Every key press is one turn.

The game is data-driven: its rules, texts and pictures are plain files
that each player can change in their own data folder. The package also
holds delve-replay, delve-check and delve-tiles, the tools to replay a
game headless, check the data files and turn text art into tiles.")
set(CPACK_GENERATOR DEB)
include(CPack)
