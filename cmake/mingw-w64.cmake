# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix
# thread model, which C++20's <thread> and <mutex> need). DELVE_WINDOWS_DEPS
# is the prefix that scripts/windows installs the static SDL2, libpng and
# zlib into; nothing is looked up on the build machine itself.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
if(DEFINED ENV{DELVE_WINDOWS_DEPS})
  set(DELVE_WINDOWS_DEPS "$ENV{DELVE_WINDOWS_DEPS}" CACHE PATH "Prefix of the static Windows libraries")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${DELVE_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
