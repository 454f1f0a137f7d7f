#include "platform/ThreadName.h"

#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace platform {

void NameThisThread(const char* pszName) {
    if (pszName == nullptr || *pszName == '\0') return;
    // Linux refuses a longer name outright; cut it instead.
    const std::string strName(pszName, strnlen(pszName, 15));
#ifdef _WIN32
    // Windows 10 1607 and later; an older system simply keeps no name.
    using SetDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    const HMODULE hKernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto pfnSet = hKernel != nullptr
                            ? reinterpret_cast<SetDescriptionFn>(reinterpret_cast<void*>(
                                  ::GetProcAddress(hKernel, "SetThreadDescription")))
                            : nullptr;
    if (pfnSet == nullptr) return;
    // The names are plain ASCII: each byte is its character.
    std::wstring strWide(strName.begin(), strName.end());
    pfnSet(::GetCurrentThread(), strWide.c_str());
#else
    pthread_setname_np(pthread_self(), strName.c_str());
#endif
}

}  // namespace platform
