#pragma once
// The rules a side's settings must keep before that side can start, each
// written once: the IRC tab's Connect, the game tab's Connect and Check
// apply them to what the operator typed, fragrelayd to its settings file.
// Every problem names its settings key. Pure but for the look at the client
// certificate's file; any thread.
#include <string>
#include <vector>

#include "config/SettingsFormat.h"

namespace config {

enum class EProblem {
    Empty,          // a text that must be filled in
    NoPort,         // a port of 0
    NoInterval,     // the ticket interval: a number of seconds above 0
    NoChannel,      // a channel name needs a "#" and no blank
    NoFingerprint,  // not a SHA-256 in hex (64 digits, colons allowed)
    NoFile,         // a file that cannot be read
    NeedsTls,       // only meaningful with irc_TLS=yes
};

struct CSettingsProblem {
    const char* pszKey;  // the settings key, e.g. "irc_Nick"
    EProblem eProblem;

    bool operator==(const CSettingsProblem& other) const;
};

// What keeps the IRC side from starting, in the order the IRC tab checks:
// port, server, nickname, alternative nickname, channel, ticket interval,
// user name and password (with authentication on; SASL EXTERNAL, which
// logs in by the client certificate, needs neither), then the channel's
// form (only when it is filled in), the pinned fingerprint's form, and the
// client certificate (readable, and with TLS on). Empty when it can start.
std::vector<CSettingsProblem> IrcSideProblems(const CSettingsValues& values);

// What keeps the game server from being queried: query port, then server.
std::vector<CSettingsProblem> GameServerProblems(const CSettingsValues& values);

// What keeps the game side from starting: the game server's problems, then
// each empty colour in the Settings tab's order.
std::vector<CSettingsProblem> GameSideProblems(const CSettingsValues& values);

// The keys whose values differ, in the file's order. The channel is
// compared without regard to ASCII case, as IRC servers compare it (the
// server's spelling replaces the typed one once the bot has joined).
std::vector<std::string> ChangedSettingsKeys(const CSettingsValues& before,
                                             const CSettingsValues& after);

// For the operator, with the value where it helps: "irc_Nick is empty",
// "irc_Port is 0, not a port", "irc_Tickettime is -5, not a number of
// seconds above 0", "irc_Channel \"relay\" is no channel name (it needs a
// #)", "irc_ClientCert /x.pem cannot be read (No such file or directory)".
// Windows-1252, as the value.
std::string ProblemText(const CSettingsProblem& problem, const CSettingsValues& values);

}  // namespace config
