# The browser build, configured by scripts/web with emcmake: the game's code
# compiled to WebAssembly on the web backend (no SDL, no libpng, no tests or
# tools), the page, and res/ and tiles/ packed into one data file that is
# preloaded into the in-memory file system. Only the page (its markup,
# stylesheet and modules), the program's three files, the manifest, icons and
# service worker go to DELVE_WEB_OUT. The tile files are made by a native delve-tiles, as in the
# native build.
set(DELVE_TILES_TOOL "" CACHE FILEPATH "A native delve-tiles, to make the tile files")
set(DELVE_WEB_OUT "${CMAKE_SOURCE_DIR}/build/web" CACHE PATH "Where the page and its files go")
if(NOT EXISTS "${DELVE_TILES_TOOL}")
  message(FATAL_ERROR "DELVE_TILES_TOOL must name a native delve-tiles (scripts/web builds one)")
endif()

# The browser's backend and the page's keeping of games are WebAssembly
# only; no picture writer (libpng) here.
include(cmake/sources.cmake)
delve_sources(DELVE_WEB_CORE_SOURCES platform/web/wasm kept/wasm)
add_library(delve_core STATIC ${DELVE_WEB_CORE_SOURCES})
# Exceptions are caught only where a run ends on them: a recording watched
# to its end or stopped, a continued game that stops matching its
# recording (web/exceptions_caught.json names those functions, mangled).
# Catching them everywhere would route a turn's calls through JavaScript;
# so would linking the C++ library built to catch them, so it is asked of
# the compiler only: the link keeps the library built without.
target_compile_options(delve_core PUBLIC
  "SHELL:-sEXCEPTION_CATCHING_ALLOWED=@${CMAKE_SOURCE_DIR}/web/exceptions_caught.json")
# A function added to the list must be compiled again to catch.
set_source_files_properties(${DELVE_WEB_CORE_SOURCES} PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/web/exceptions_caught.json)
target_include_directories(delve_core PUBLIC src ${CMAKE_BINARY_DIR}/generated)

set(DELVE_WEB_TILES ${CMAKE_BINARY_DIR}/tiles)
file(GLOB DELVE_RES CONFIGURE_DEPENDS res/*)
delve_build_tiles(${DELVE_TILES_TOOL} ${DELVE_WEB_TILES} ${CMAKE_BINARY_DIR}/tiles.stamp "Building tile files from assets/tiles")
add_custom_target(web_tiles DEPENDS ${CMAKE_BINARY_DIR}/tiles.stamp)

# The page's entry points, exported to the page and so part of the program
# itself, not of the library: main, a player's own data (web_own_data), a
# kept recording handed in (web_kept), and two calls of the file system,
# replaced (file_system_calls), which must be linked whatever the library
# needs, as libc only asks for them after the library.
file(GLOB DELVE_WEB_APP_SOURCES CONFIGURE_DEPENDS src/app/web/*.cpp)
add_executable(delve ${DELVE_WEB_APP_SOURCES})
target_link_libraries(delve PRIVATE delve_core)
# Every function listed to catch exceptions must exist, under that very name.
add_custom_command(TARGET delve PRE_LINK
  COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DLIST=${CMAKE_SOURCE_DIR}/web/exceptions_caught.json
          "-DFILES=$<TARGET_FILE:delve_core>|$<JOIN:$<TARGET_OBJECTS:delve>,|>"
          -P ${CMAKE_SOURCE_DIR}/web/exceptions_check.cmake
  COMMENT "Checking that every function of web/exceptions_caught.json exists"
  VERBATIM)
add_dependencies(delve web_tiles)
set_target_properties(delve PROPERTIES
  SUFFIX ".js"
  LINK_DEPENDS "${DELVE_RES};${CMAKE_BINARY_DIR}/tiles.stamp;${CMAKE_SOURCE_DIR}/web/asyncify_remove.json;${CMAKE_SOURCE_DIR}/web/exceptions_caught.json")
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
  -sEXPORTED_FUNCTIONS=_main,_malloc,_free
  -sEXPORTED_RUNTIME_METHODS=stringToUTF8,UTF8ToString,getValue,FS,callMain
  "SHELL:--preload-file ${CMAKE_SOURCE_DIR}/res@/game/res"
  "SHELL:--preload-file ${DELVE_WEB_TILES}@/game/tiles")

# Linked inside the build tree, so the package's name in delve.js is only
# "delve.data" (not a path on the building machine), then copied out.
add_custom_command(TARGET delve POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${DELVE_WEB_OUT}
  COMMAND ${CMAKE_COMMAND} -E copy delve.js delve.wasm delve.data ${DELVE_WEB_OUT}/
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Copying delve.js, delve.wasm and delve.data to ${DELVE_WEB_OUT}")

# The page: its markup, its stylesheet and its modules (web/js), side by side
# in DELVE_WEB_OUT, so a module's imports find the others as they do in web/js.
file(GLOB DELVE_PAGE_MODULES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/web/js/*.js)
set(DELVE_PAGE_SOURCES ${CMAKE_SOURCE_DIR}/web/index.html ${CMAKE_SOURCE_DIR}/web/page.css ${DELVE_PAGE_MODULES})
set(DELVE_PAGE_COPIES)
set(DELVE_PAGE_SCRIPTS)
foreach(source IN LISTS DELVE_PAGE_SOURCES)
  get_filename_component(name ${source} NAME)
  list(APPEND DELVE_PAGE_COPIES ${DELVE_WEB_OUT}/${name})
  list(APPEND DELVE_PAGE_SCRIPTS ${name})
endforeach()
add_custom_command(
  OUTPUT ${DELVE_PAGE_COPIES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${DELVE_WEB_OUT}
  COMMAND ${CMAKE_COMMAND} -E copy ${DELVE_PAGE_SOURCES} ${DELVE_WEB_OUT}/
  DEPENDS ${DELVE_PAGE_SOURCES}
  COMMENT "Copying the page, its stylesheet and its modules")
add_custom_target(page ALL DEPENDS ${DELVE_PAGE_COPIES} delve ${DELVE_WEB_OUT}/sw.js)

# --- The page as an app: the manifest, its icons (the game's own icon, drawn
# as for the desktop) and the service worker that keeps the page's files for
# play without a network. sw.js carries the version: a digest of all the
# files below, written after them (web/page_version.cmake).
set(DELVE_PAGE_FILES ${DELVE_PAGE_SCRIPTS} delve.js delve.wasm delve.data manifest.webmanifest icon-192.png icon-512.png)
set(DELVE_PAGE_ICONS)
foreach(size 192 512)
  add_custom_command(
    OUTPUT ${DELVE_WEB_OUT}/icon-${size}.png
    COMMAND ${CMAKE_COMMAND} -E make_directory ${DELVE_WEB_OUT}
    COMMAND ${DELVE_TILES_TOOL} icon ${DELVE_WEB_TILES}/party/garr_001.til ${size} ${DELVE_WEB_OUT}/icon-${size}.png
    DEPENDS ${CMAKE_BINARY_DIR}/tiles.stamp
    COMMENT "Drawing the page's ${size}x${size} icon")
  list(APPEND DELVE_PAGE_ICONS ${DELVE_WEB_OUT}/icon-${size}.png)
endforeach()
add_custom_command(
  OUTPUT ${DELVE_WEB_OUT}/manifest.webmanifest
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/web/manifest.webmanifest ${DELVE_WEB_OUT}/
  DEPENDS ${CMAKE_SOURCE_DIR}/web/manifest.webmanifest
  COMMENT "Copying the page's manifest")
list(JOIN DELVE_PAGE_FILES "," DELVE_PAGE_FILE_LIST)
add_custom_command(
  OUTPUT ${DELVE_WEB_OUT}/sw.js
  COMMAND ${CMAKE_COMMAND} -DDIR=${DELVE_WEB_OUT} -DTEMPLATE=${CMAKE_SOURCE_DIR}/web/sw.js
          -DFILES=${DELVE_PAGE_FILE_LIST} -P ${CMAKE_SOURCE_DIR}/web/page_version.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/web/sw.js ${CMAKE_SOURCE_DIR}/web/page_version.cmake ${DELVE_PAGE_COPIES}
          ${DELVE_WEB_OUT}/manifest.webmanifest ${DELVE_PAGE_ICONS} delve
  COMMENT "Writing the service worker with the page's version"
  VERBATIM)
