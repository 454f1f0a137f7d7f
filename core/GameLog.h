#pragma once
// The game log's own colour rule. Pure; any thread.
#include <string>
#include <string_view>

namespace core {

// One line for the game log: 0x03 and a digit lose three characters (the
// colour's two digits, whatever the second is), any other 0x03 only itself;
// CR, LF and NUL go too, since a line is one line of the log.
std::string GameLogText(std::string_view strText);

}  // namespace core
