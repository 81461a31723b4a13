# The Windows build, cross-compiled on Debian with MinGW-w64
# (cmake/mingw-w64.cmake, driven by scripts/windows). SDL2, libpng and zlib
# are the static libraries scripts/windows-deps builds from Debian's source
# packages; GoogleTest is compiled from Debian's /usr/src/googletest. Every
# program links statically and so needs only Windows' own DLLs.
set(DELVE_TILES_TOOL "" CACHE FILEPATH "A native delve-tiles, to make the tile files and the icon")
if(NOT EXISTS "${DELVE_TILES_TOOL}")
  message(FATAL_ERROR "DELVE_TILES_TOOL must name a native delve-tiles (scripts/windows builds one)")
endif()

add_link_options(-static -static-libgcc -static-libstdc++)

find_package(SDL2 CONFIG REQUIRED)
set(DELVE_SDL2_LIBRARIES SDL2::SDL2-static)
find_package(PNG REQUIRED)
# Shared links are packed with zlib itself, the same static library libpng uses.
find_package(ZLIB REQUIRED)

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest's own code is not ours to keep warnings-clean.
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)
# The libraries compile in batches of files, as the release preset's do; the
# two files that include <windows.h> compile alone, since its macros (min,
# max, near, far and the rest) would meet the names of the files beside them.
set_source_files_properties(src/platform/file_lock.cpp src/platform/system_windows.cpp
  DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
# The test programs are asked for their tests when CTest runs them (under
# Wine, in the prefix scripts/windows-e2e makes), never while building.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# The icon, from the same portrait and sizes as the Linux one.
set(DELVE_WINDOWS_FILES ${CMAKE_BINARY_DIR}/windows-files)
set(DELVE_ICON_TILE ${CMAKE_BINARY_DIR}/game/tiles/party/garr_001.til)
set(DELVE_ICON_PNGS)
foreach(size 16 32 48 256)
  list(APPEND DELVE_ICON_PNGS ${DELVE_WINDOWS_FILES}/icon-${size}.png)
endforeach()
add_custom_command(
  OUTPUT ${DELVE_WINDOWS_FILES}/delve.ico
  COMMAND ${CMAKE_COMMAND} -E make_directory ${DELVE_WINDOWS_FILES}
  COMMAND ${DELVE_TILES_TOOL} icon ${DELVE_ICON_TILE} 16 ${DELVE_WINDOWS_FILES}/icon-16.png
  COMMAND ${DELVE_TILES_TOOL} icon ${DELVE_ICON_TILE} 32 ${DELVE_WINDOWS_FILES}/icon-32.png
  COMMAND ${DELVE_TILES_TOOL} icon ${DELVE_ICON_TILE} 48 ${DELVE_WINDOWS_FILES}/icon-48.png
  COMMAND ${DELVE_TILES_TOOL} icon ${DELVE_ICON_TILE} 256 ${DELVE_WINDOWS_FILES}/icon-256.png
  COMMAND convert ${DELVE_ICON_PNGS} ${DELVE_WINDOWS_FILES}/delve.ico
  DEPENDS ${CMAKE_BINARY_DIR}/tiles.stamp
  COMMENT "Drawing the Windows icon")
add_custom_target(windows_icon DEPENDS ${DELVE_WINDOWS_FILES}/delve.ico)

# delve_windows_resources(TARGET DESCRIPTION): the icon and the version
# information Windows shows in a program's properties.
string(REPLACE "." "," DELVE_VERSION_COMMAS "${PROJECT_VERSION},0")
function(delve_windows_resources target description)
  set(DELVE_RC_NAME ${target})
  set(DELVE_RC_DESCRIPTION "${description}")
  set(DELVE_RC_ICON ${DELVE_WINDOWS_FILES}/delve.ico)
  set(rc ${DELVE_WINDOWS_FILES}/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${DELVE_WINDOWS_FILES}/delve.ico)
  add_dependencies(${target} windows_icon)
endfunction()
