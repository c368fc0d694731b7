# Dependencies of the program in a cross build.
#
# nlohmann-json is header-only: its headers alone are copied from the host
# into the build tree, since adding the host's /usr/include would bring the
# host's C library headers in front of the target's.
find_path(TESSARY_HOST_JSON_DIR nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT TESSARY_HOST_JSON_DIR)
  message(FATAL_ERROR "nlohmann/json.hpp not found: install the Debian package nlohmann-json3-dev")
endif()
set(tessary_json_dir ${CMAKE_BINARY_DIR}/host-headers)
file(COPY ${TESSARY_HOST_JSON_DIR}/nlohmann DESTINATION ${tessary_json_dir})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
target_include_directories(nlohmann_json::nlohmann_json INTERFACE ${tessary_json_dir})

# cpp-httplib: only a build for the target would do (the host's is a
# compiled library); without one the monitor's server is left out.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(httplib QUIET IMPORTED_TARGET cpp-httplib)
endif()
