# Tile art is text in assets/; the tile files are generated, never committed.
file(GLOB_RECURSE DELVE_ART CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/tiles/*.txt)

# delve_build_tiles(TOOL DIR STAMP WHY): DIR made afresh from the art by the
# delve-tiles TOOL (a target or a path), STAMP touched once DIR is complete.
function(delve_build_tiles tool dir stamp why)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${dir}
    COMMAND ${tool} build ${CMAKE_SOURCE_DIR}/assets/tiles ${dir}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${tool} ${DELVE_ART}
    COMMENT "${why}")
endfunction()
