#pragma once
// The string table: operator texts by number, as Windows-1252 bytes.
#include <string>
#include <vector>

namespace res {

// The text with that id; an empty text for an id the table lacks
// (negative ids included). Any thread.
std::string LoadResString(int nId);

// Every id the table holds, ascending.
std::vector<int> StringIds();

}  // namespace res
