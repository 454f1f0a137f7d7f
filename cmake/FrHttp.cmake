# The HTTP library (cpp-httplib) and JSON (nlohmann) that web/ uses, as the
# target fr_http_deps.
#
# Linux: Debian's libcpp-httplib-dev. Its header only declares; the code is
# in its shared library, built with TLS, zlib and brotli, and the header
# must be read with the same switches, which pkg-config gives.
#
# Windows (mingw-w64): the cross compiler does not search /usr/include, and
# that library is Linux's. A folder in the build holds the whole single
# header of the same Debian version (from its source package, unpacked by
# scripts/deps-windows into FR_HTTPLIB_SOURCE_DIR) and a copy of the
# nlohmann headers, both header-only there.
add_library(fr_http_deps INTERFACE)
if(NOT WIN32)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(FR_HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
  find_package(nlohmann_json 3.10 REQUIRED)
  target_link_libraries(fr_http_deps INTERFACE PkgConfig::FR_HTTPLIB nlohmann_json::nlohmann_json)
else()
  set(FR_HTTPLIB_SOURCE_DIR /usr/local/src/cpp-httplib CACHE PATH
    "The cpp-httplib source folder whose httplib.h is the whole single header")
  set(FR_JSON_INCLUDE_DIR /usr/include CACHE PATH "The folder that holds nlohmann/json.hpp")
  set(header ${FR_HTTPLIB_SOURCE_DIR}/httplib.h)
  if(NOT EXISTS ${header})
    message(FATAL_ERROR "${header} is missing: scripts/deps-windows unpacks it")
  endif()
  file(STRINGS ${header} impl LIMIT_COUNT 1 REGEX "^inline Server::Server\\(\\)")
  if(NOT impl)
    message(FATAL_ERROR "${header} declares only; the Windows build needs the whole header")
  endif()
  if(NOT EXISTS ${FR_JSON_INCLUDE_DIR}/nlohmann/json.hpp)
    message(FATAL_ERROR "${FR_JSON_INCLUDE_DIR}/nlohmann/json.hpp is missing (nlohmann-json3-dev)")
  endif()
  set(dir ${CMAKE_BINARY_DIR}/web-include)
  configure_file(${header} ${dir}/httplib.h COPYONLY)
  file(COPY ${FR_JSON_INCLUDE_DIR}/nlohmann DESTINATION ${dir})
  target_include_directories(fr_http_deps SYSTEM INTERFACE ${dir})
endif()
