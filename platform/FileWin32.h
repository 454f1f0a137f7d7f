#pragma once
// What the Windows sides of File.h and FileInfo.h share (FileWin32.cpp);
// for platform/'s Windows sources alone. Any thread.
#include <windows.h>

#include <string>
#include <vector>

namespace platform::win32 {

// UTF-8 and the system's wide characters; empty for an empty text or one
// that does not convert.
std::wstring Wide(const std::string& strUtf8);
std::string Utf8(const std::wstring& strWide);

// The file the text finally lands in: the path itself, or where its link
// points. Empty when it cannot be replaced (a dangling link).
std::wstring TargetPath(const std::wstring& strPath);

// An access list that lets the current user alone in, not inherited from
// the folder. Filled into the caller's buffers, which must outlive its use.
bool OwnerOnlySecurity(std::vector<unsigned char>& user, std::vector<unsigned char>& acl,
                       SECURITY_DESCRIPTOR& sd);

}  // namespace platform::win32
