#pragma once
// The settings keys explained for the operator: one line each with the key,
// the value a first start writes (the defaults) and what it means. The
// keys and the defaults come from the settings format itself, so the help
// (and the man page made from it) never disagrees with the file. Pure.
#include <string>

namespace config {

// The 24 keys in the file's order, each line "  key=default" and its
// meaning, lines ending "\n"; ASCII.
std::string SettingsKeysHelp();

}  // namespace config
