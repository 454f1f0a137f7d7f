#include "platform/ThreadName.h"

#ifdef _WIN32
#include <windows.h>

#include <string>
#else
#include <pthread.h>

#include <cstring>
#endif

namespace platform {

void NameThisThread(const char* pszName) {
#ifdef _WIN32
    // SetThreadDescription takes UTF-16; the names are ASCII.
    const std::string strName(pszName);
    const std::wstring strWide(strName.begin(), strName.end());
    ::SetThreadDescription(::GetCurrentThread(), strWide.c_str());
#else
    // Linux keeps 15 characters and the terminating NUL.
    char szName[16] = {};
    std::strncpy(szName, pszName, sizeof szName - 1);
    ::pthread_setname_np(::pthread_self(), szName);
#endif
}

}  // namespace platform
