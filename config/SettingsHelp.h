#pragma once
// The settings keys explained for the operator: one line each with the key,
// the value a first start writes (the default) and what it means, all from
// the keys' table, so the help (and the man page made from it) never
// disagrees with the file. Pure.
#include <string>

namespace config {

// Every key in the file's order, each line "  key=default" and its
// meaning, lines ending "\n"; ASCII.
std::string SettingsKeysHelp();

}  // namespace config
