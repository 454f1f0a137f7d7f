#pragma once
// Names the calling thread for the people who debug a running bot: top -H,
// gdb, the Windows debugger. Any thread; never fails loudly.
namespace platform {

// At most 15 characters are kept (pthread_setname_np's limit on Linux;
// SetThreadDescription on Windows). A longer name is cut, an empty one ignored.
void NameThisThread(const char* pszName);

}  // namespace platform
