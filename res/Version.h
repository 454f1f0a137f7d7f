#pragma once
// The release number of the build and the text that --version prints. The
// number comes from the build (CMake's project version), the one place it
// is written; the string table's version text (IDS_VERSION, "v1.3 BETA")
// stays what the bot shows on IRC. Pure; any thread.
#include <string>
#include <string_view>

namespace res {

// The release number, e.g. "1.3".
std::string_view ReleaseVersion();

// What --version prints for the program strProgram ("fragrelayd"): its name,
// the package and the release number on the first line, then the copyright,
// as tools that read --version expect (help2man makes the man pages from
// it), then the version text the bot shows on IRC.
std::string VersionText(std::string_view strProgram);

}  // namespace res
