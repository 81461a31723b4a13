# The browser build, configured by scripts/web with emcmake: the game's code
# compiled to WebAssembly on the web backend (no SDL, no libpng, no tests or
# tools), the page, and res/ and tiles/ packed into one data file that is
# preloaded into the in-memory file system. Only the page's four files go to
# DELVE_WEB_OUT. The tile files are made by a native delve-tiles, as in the
# native build.
set(DELVE_TILES_TOOL "" CACHE FILEPATH "A native delve-tiles, to make the tile files")
set(DELVE_WEB_OUT "${CMAKE_SOURCE_DIR}/build/web" CACHE PATH "Where the page and its files go")
if(NOT EXISTS "${DELVE_TILES_TOOL}")
  message(FATAL_ERROR "DELVE_TILES_TOOL must name a native delve-tiles (scripts/web builds one)")
endif()

file(GLOB_RECURSE DELVE_WEB_CORE_SOURCES CONFIGURE_DEPENDS
  src/platform/*.cpp src/recording/*.cpp src/render/*.cpp src/game/*.cpp src/data/*.cpp src/level/*.cpp src/rules/*.cpp src/shell/*.cpp)
list(FILTER DELVE_WEB_CORE_SOURCES EXCLUDE REGEX
  "src/platform/sdl/|src/platform/png_writer\\.cpp$|src/shell/(web_)?main\\.cpp$")
add_library(delve_core STATIC ${DELVE_WEB_CORE_SOURCES})
target_include_directories(delve_core PUBLIC src ${CMAKE_BINARY_DIR}/generated)

set(DELVE_WEB_TILES ${CMAKE_BINARY_DIR}/tiles)
file(GLOB DELVE_RES CONFIGURE_DEPENDS res/*)
delve_build_tiles(${DELVE_TILES_TOOL} ${DELVE_WEB_TILES} ${CMAKE_BINARY_DIR}/tiles.stamp "Building tile files from assets/tiles")
add_custom_target(web_tiles DEPENDS ${CMAKE_BINARY_DIR}/tiles.stamp)

add_executable(delve src/shell/web_main.cpp)
target_link_libraries(delve PRIVATE delve_core)
add_dependencies(delve web_tiles)
set_target_properties(delve PROPERTIES
  SUFFIX ".js"
  LINK_DEPENDS "${DELVE_RES};${CMAKE_BINARY_DIR}/tiles.stamp;${CMAKE_SOURCE_DIR}/web/asyncify_remove.json")
target_link_options(delve PRIVATE
  # Waiting for a key returns to the browser and resumes where it left off.
  -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536
  # Asyncify cannot see through the calls of virtual functions, so it would
  # make nearly every function ready to pause, and drawing a turn ran a
  # third slower for it. Only waiting for a key pauses: the functions in
  # this list (the files, tiles, text, panels, pages, strings and memory)
  # never wait, so they stay as compiled. A function that starts to wait
  # for a key must leave the list (web-e2e would stop at its first key).
  "SHELL:-sASYNCIFY_REMOVE=@${CMAKE_SOURCE_DIR}/web/asyncify_remove.json"
  # The file system in WebAssembly, not in JavaScript: a turn opens over a
  # thousand tile files, and the JavaScript one spends twice the turn's
  # budget looking up their paths.
  -sWASMFS
  -sALLOW_MEMORY_GROWTH -sENVIRONMENT=web
  -sEXPORTED_FUNCTIONS=_main,_malloc
  -sEXPORTED_RUNTIME_METHODS=stringToUTF8,UTF8ToString,getValue,FS
  "SHELL:--preload-file ${CMAKE_SOURCE_DIR}/res@/game/res"
  "SHELL:--preload-file ${DELVE_WEB_TILES}@/game/tiles")

# Linked inside the build tree, so the package's name in delve.js is only
# "delve.data" (not a path on the building machine), then copied out.
add_custom_command(TARGET delve POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${DELVE_WEB_OUT}
  COMMAND ${CMAKE_COMMAND} -E copy delve.js delve.wasm delve.data ${DELVE_WEB_OUT}/
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Copying delve.js, delve.wasm and delve.data to ${DELVE_WEB_OUT}")

add_custom_command(
  OUTPUT ${DELVE_WEB_OUT}/index.html
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/web/index.html ${DELVE_WEB_OUT}/index.html
  DEPENDS ${CMAKE_SOURCE_DIR}/web/index.html
  COMMENT "Copying the page")
add_custom_target(page ALL DEPENDS ${DELVE_WEB_OUT}/index.html delve)
