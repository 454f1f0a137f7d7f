#pragma once
// How a colour text of the settings becomes a colour code in a channel
// line: 0x03 followed by exactly two digits, so that a digit in the text
// after it is never read as part of the colour. Pure; any thread.
#include <string>
#include <string_view>

namespace monitor {

// A one-character colour gets "0" put in front ("7" -> "07"); every other
// text, the empty one included, comes back as it is.
std::string TwoDigitColor(std::string_view strColor);

}  // namespace monitor
