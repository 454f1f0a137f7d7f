#pragma once
// Paths as text, the same on every system (Windows takes "/" as well as
// "\"). Pure; any thread.
#include <string>
#include <string_view>

namespace platform {

// "/x", "\x", "C:\x", "C:/x" and "\\server\x" are absolute; "x", "./x" and
// "C:x" are not.
bool IsAbsolutePath(std::string_view strPath);
// The folder of a file's path: everything before its last "/" or "\" ("/"
// for a file at the root), or "." when it names no folder.
std::string FolderOf(std::string_view strPath);
// strName inside strFolder.
std::string JoinPath(std::string_view strFolder, std::string_view strName);

}  // namespace platform
