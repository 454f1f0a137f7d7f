# The HTTP library (cpp-httplib) and JSON (nlohmann) that web/ uses, as the
# target fr_http_deps.
#
# Both systems build on the whole single header of the Debian version
# (from its source package, unpacked by scripts/deps-httplib into
# FR_HTTPLIB_SOURCE_DIR), without TLS, zlib or brotli: the web page is plain
# HTTP, and Debian's shared library of it would load OpenSSL into every
# fragrelayd at start. A folder in the build holds that header; on Windows
# also a copy of the nlohmann headers (the cross compiler does not search
# /usr/include).
add_library(fr_http_deps INTERFACE)
set(FR_HTTPLIB_SOURCE_DIR /usr/local/src/cpp-httplib CACHE PATH
  "The cpp-httplib source folder whose httplib.h is the whole single header")
set(header ${FR_HTTPLIB_SOURCE_DIR}/httplib.h)
if(NOT EXISTS ${header})
  message(FATAL_ERROR "${header} is missing: scripts/deps-httplib unpacks it")
endif()
file(STRINGS ${header} impl LIMIT_COUNT 1 REGEX "^inline Server::Server\\(\\)")
if(NOT impl)
  message(FATAL_ERROR "${header} declares only; the build needs the whole header")
endif()
set(dir ${CMAKE_BINARY_DIR}/web-include)
# The header includes <iostream> without using std::cout or std::cin, and
# every file that includes <iostream> sets up the standard streams when the
# program starts: some 600 KB of memory in every fragrelayd, page or no
# page. The copy includes the two stream headers it needs instead.
file(READ ${header} text)
string(REPLACE "#include <iostream>" "#include <istream>\n#include <ostream>" text "${text}")
file(WRITE ${dir}/httplib.h.tmp "${text}")
file(COPY_FILE ${dir}/httplib.h.tmp ${dir}/httplib.h ONLY_IF_DIFFERENT)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
if(NOT WIN32)
  find_package(nlohmann_json 3.10 REQUIRED)
  target_include_directories(fr_http_deps SYSTEM INTERFACE ${dir})
  target_link_libraries(fr_http_deps INTERFACE nlohmann_json::nlohmann_json)
else()
  set(FR_JSON_INCLUDE_DIR /usr/include CACHE PATH "The folder that holds nlohmann/json.hpp")
  if(NOT EXISTS ${FR_JSON_INCLUDE_DIR}/nlohmann/json.hpp)
    message(FATAL_ERROR "${FR_JSON_INCLUDE_DIR}/nlohmann/json.hpp is missing (nlohmann-json3-dev)")
  endif()
  file(COPY ${FR_JSON_INCLUDE_DIR}/nlohmann DESTINATION ${dir})
  target_include_directories(fr_http_deps SYSTEM INTERFACE ${dir})
endif()
