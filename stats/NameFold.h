#pragma once
// Names compared as the channel types them: case does not matter, in ASCII
// and in the Windows-1252 letters (\xC9 and \xE9 are one letter). Pure; any
// thread.
#include <string>
#include <string_view>

namespace stats {

// The name in lower case, byte for byte; every other byte as it is.
std::string FoldName(std::string_view strName);

}  // namespace stats
