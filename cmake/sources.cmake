# The game's code, by folder: each folder is one concern, and a build takes
# whole folders, never picks files by name.
#
# Compiled into every build: the platform's services and the headless
# backend, the pure browser helpers (tested natively), and every concern
# above the platform. Not here, as the page has none of them: the picture
# writer (platform/png, libpng) and shared links (share, zlib; the page
# reads and writes links in its own JavaScript).
set(DELVE_SHARED_FOLDERS
  platform platform/headless platform/web
  render game data data/check level rules recording walk flow kept watch watch/strip own_data)

# delve_sources(VAR FOLDER...): the .cpp files of the shared folders and of
# FOLDER... (relative to src/), sorted so every build lists them alike.
function(delve_sources var)
  set(sources "")
  foreach(folder IN LISTS DELVE_SHARED_FOLDERS ARGN)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  list(SORT sources)
  set(${var} ${sources} PARENT_SCOPE)
endfunction()
