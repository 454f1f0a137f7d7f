#pragma once
// The HTML pages made on the server: a player's totals, the top list, and
// short messages (not found, statistics off). Every name is converted and
// HTML-escaped here. Pure.
#include <string>
#include <string_view>

#include "web/WebModel.h"

namespace web {

std::string PlayerPage(const CWebPlayerStats& stats);
std::string TopPage(const CWebTopList& top);
// A page with a heading and one paragraph; both plain UTF-8 text.
std::string MessagePage(std::string_view strTitle, std::string_view strText);

// What every HTML page may load: nothing from elsewhere.
constexpr const char* kPagePolicy =
    "default-src 'none'; style-src 'unsafe-inline'; script-src 'unsafe-inline'; "
    "connect-src 'self'; img-src 'self' data:; base-uri 'none'; form-action 'self'; "
    "frame-ancestors 'none'";

// The style the pages share with the live scoreboard.
std::string_view PageStyle();

}  // namespace web
