// The real clock's tick on Windows: the system's own 32-bit tick count,
// which wraps after about 49.7 days as the interface says.
#include <windows.h>

#include "platform/Clock.h"

namespace platform {

uint32_t CSystemClock::GetTickCount() {
    return static_cast<uint32_t>(::GetTickCount());
}

}  // namespace platform
