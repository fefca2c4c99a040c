# Cross build for 64-bit Windows 10 and later with Debian's MinGW-w64
# compiler in its POSIX-thread flavour (package g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake
# The C and C++ runtimes are linked statically, so that each .exe runs alone.
# Libraries Debian does not package for this target (SQLite, GoogleTest)
# come from the prefix that scripts/windows-deps.sh fills.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CORVALEN_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CORVALEN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CORVALEN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${CORVALEN_MINGW_TRIPLET}-windres)

# Where scripts/windows-deps.sh puts what it builds.
set(CORVALEN_WINDOWS_DEPS "${CMAKE_CURRENT_LIST_DIR}/../build-windows-deps"
    CACHE PATH "Third-party sources and libraries of the Windows build")
get_filename_component(CORVALEN_WINDOWS_DEPS "${CORVALEN_WINDOWS_DEPS}" ABSOLUTE)
set(CORVALEN_WINDOWS_PREFIX "${CORVALEN_WINDOWS_DEPS}/prefix")

# Windows 10 API level, wide-character Win32 functions.
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00 -DUNICODE -D_UNICODE")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00 -DUNICODE -D_UNICODE")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Libraries and headers only from the target's own trees; programs from the
# build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${CORVALEN_MINGW_TRIPLET} "${CORVALEN_WINDOWS_PREFIX}")
set(CMAKE_PREFIX_PATH "${CORVALEN_WINDOWS_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine: $WINE as scripts/wine-env.sh sets it, or
# Debian's wine64 package.
if(DEFINED ENV{WINE})
  set(CMAKE_CROSSCOMPILING_EMULATOR $ENV{WINE})
elseif(EXISTS /usr/lib/wine/wine64)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
endif()
