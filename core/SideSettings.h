#pragma once
// What each side takes from the settings when it starts, and the message a
// side gives when its settings keep it from starting. Pure; any thread.
#include <string>
#include <vector>

#include "config/SettingsCheck.h"
#include "config/Settings.h"
#include "core/GameSide.h"
#include "core/OperatorMessage.h"

namespace core {

inline constexpr char kChannelInvalid[] = "Channelname is no valid";

// A game run's settings: the colours with two digits each (so that a digit
// after a code is never read as part of it), the language's phrase base,
// the server and port, the filters.
CGameRunSettings GameRunSettingsOf(const config::CSettings& settings);

// The message for the first problem of the IRC side: "Channelname is no
// valid" for a channel without "#", the problem's own text where an empty
// field is not the reason (fingerprint, certificate file, its key, TLS), else "Fill
// out all Inputfields!"; caption "Error", its key for the focus.
COperatorMessage IrcRefusal(const config::CSettingsProblem& problem,
                            const config::CSettings& settings);
// The game side's and the quick-info check's: "Fill out all Inputfields!".
COperatorMessage GameRefusal();

}  // namespace core
