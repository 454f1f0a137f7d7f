#pragma once
// Names the calling thread for the people who debug a running bot (top -H,
// gdb, the Windows debugger): at most 15 characters. Any thread; a system
// that refuses the name is not an error.
namespace platform {

void NameThisThread(const char* pszName);

}  // namespace platform
