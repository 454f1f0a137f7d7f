#include "support/Wine.h"

#include <windows.h>

namespace testsupport {

bool RunningUnderWine() {
    HMODULE hNtdll = ::GetModuleHandleW(L"ntdll.dll");
    return hNtdll != nullptr && ::GetProcAddress(hNtdll, "wine_get_version") != nullptr;
}

}  // namespace testsupport
