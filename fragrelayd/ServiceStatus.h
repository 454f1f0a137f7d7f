#pragma once
// The one line a service manager shows for the bot ("systemctl status"):
// where each side stands, "IRC: in #chan; game: answering" or "IRC: next
// attempt in 40 s; game: answering". Pure; any thread.
#include <string>

#include "core/BotEvents.h"

namespace fragrelayd {

std::string ServiceStatusLine(const core::CBotState& state);

}  // namespace fragrelayd
