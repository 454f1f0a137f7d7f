#pragma once
// The HTTP library, included from here only. On Linux it is Debian's
// libcpp-httplib (its header declares, its shared library holds the code,
// built with the switches that pkg-config passes); the Windows build takes
// the whole single header of the same version (see cmake/FrHttp.cmake).
#include <httplib.h>
