# The dependencies of the Windows cross build (cmake/toolchain-mingw-w64.cmake),
# under the target names the Linux build gets from its packages, so that
# every target links the same way on both systems. SQLite and
# GoogleTest come from the prefix that scripts/windows-deps.sh fills; this
# target has no Qt, ICU or Google Benchmark.
if(NOT DEFINED CORVALEN_WINDOWS_DEPS)
  message(FATAL_ERROR "Configure the Windows build with -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake")
endif()

find_package(SQLite3 REQUIRED)
find_package(GTest CONFIG REQUIRED)

# ODBC is Windows' own driver manager.
add_library(PkgConfig::ODBC INTERFACE IMPORTED)
set_target_properties(PkgConfig::ODBC PROPERTIES INTERFACE_LINK_LIBRARIES odbc32)

# nlohmann/json is header-only too.
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${CORVALEN_WINDOWS_DEPS}/json/include")

# CLI11 is header-only; a folder holding only its headers keeps the rest of
# the build machine's /usr/include out of sight.
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${CORVALEN_WINDOWS_DEPS}/cli11/include")
