#pragma once
// The rules a side's settings must keep before that side can start, each
// written once: the IRC tab's Connect, the game tab's Connect and Check
// apply them to what the operator typed, fragrelayd to its settings file.
// Every problem names its settings key. Besides them, notes: what works but
// exposes the password, which the operator should hear of and may leave.
// Pure but for the looks at the client certificate's and the settings
// file; any thread.
#include <string>
#include <string_view>
#include <vector>

#include "config/Settings.h"

namespace config {

enum class EProblem {
    Empty,          // a text that must be filled in
    NoPort,         // a port of 0
    NoInterval,     // the ticket interval: a number of seconds above 0
    NoChannel,      // a channel name needs a "#" and no blank
    NoFingerprint,  // not a SHA-256 in hex (64 digits, colons allowed)
    NoFile,         // a file that cannot be read
    NeedsTls,       // only meaningful with irc_TLS=yes
    EncryptedKey,   // the client certificate's key has a pass phrase nobody can type
};

struct CSettingsProblem {
    const char* m_pszKey;  // the settings key, e.g. "irc_Nick"
    EProblem m_eProblem;

    bool operator==(const CSettingsProblem& other) const;
};

// What keeps the IRC side from starting, in the order the IRC tab checks:
// port, server, nickname, alternative nickname, channel, ticket interval,
// user name and password (with authentication on; SASL EXTERNAL, which
// logs in by the client certificate, needs neither), then the channel's
// form (only when it is filled in), the pinned fingerprint's form, and the
// client certificate (readable, its key without a pass phrase, and with TLS
// on). Empty when it can start.
std::vector<CSettingsProblem> IrcSideProblems(const CSettings& values);

// What keeps the game server from being queried: query port, then server.
std::vector<CSettingsProblem> GameServerProblems(const CSettings& values);

// What keeps the game side from starting: the game server's problems, then
// each empty colour in the Settings tab's order.
std::vector<CSettingsProblem> GameSideProblems(const CSettings& values);

// The keys whose values differ as the file would write them, in the file's
// order. The channel is compared without regard to ASCII case, as IRC
// servers compare it (the server's spelling replaces the typed one once the
// bot has joined).
std::vector<std::string> ChangedSettingsKeys(const CSettings& before, const CSettings& after);

// Which sides the changed keys belong to (SettingsKeys.h): the IRC side
// restarts for its connection's keys, the game side for server, port,
// language, colours and filters; the ticket interval alone restarts none.
struct CSidesOfChange {
    bool m_bIrc = false;
    bool m_bTicket = false;
    bool m_bGame = false;
    bool m_bStats = false;
    bool m_bWeb = false;

    bool Any() const { return m_bIrc || m_bTicket || m_bGame || m_bStats || m_bWeb; }
    bool operator==(const CSidesOfChange&) const = default;
};
CSidesOfChange SidesOfChange(const CSettings& before, const CSettings& after);

// For the operator, with the value where it helps: "irc_Nick is empty",
// "irc_Port is 0, not a port", "irc_Tickettime is -5, not a number of
// seconds above 0", "irc_Channel \"relay\" is no channel name (it needs a
// #)", "irc_ClientCert /x.pem cannot be read (No such file or directory)",
// "irc_ClientCert: the key in /x.pem is encrypted; fragrelay needs it
// without a pass phrase". Windows-1252, as the value.
std::string ProblemText(const CSettingsProblem& problem, const CSettings& values);

// ---- Notes: nothing is refused for them.

enum class ENote {
    PasswordInPlainText,  // the login sends the password without TLS
    ReadableFile,         // the settings file holds the password and others may read it
};

struct CSettingsNote {
    const char* m_pszKey;  // irc_Password for both
    ENote m_eNote;

    bool operator==(const CSettingsNote& other) const;
};

// What the IRC log says once per connection and --check prints.
inline constexpr char kTextPasswordInPlainText[] =
    "irc_Password is sent in plain text: set irc_TLS=yes";

// The server names this machine by its text alone (no look-up): an address
// in 127.0.0.0/8, ::1 (with or without brackets), or "localhost" in any case.
bool IsLoopbackServer(std::string_view strServer);

// True when the login would carry the password readable over the wire: TLS
// off and authentication on, by the account message of networks 0 and 1 or
// by SASL PLAIN (network 2 without a client certificate), to a server that
// is not on this machine (a local bouncer or tunnel is exempt).
bool SendsPasswordInPlainText(const irc::CIrcSettings& irc);

// The notes of the IRC side's settings (PasswordInPlainText).
std::vector<CSettingsNote> IrcSideNotes(const CSettings& values);

// The notes of the file the settings were read from: ReadableFile when it
// holds a password and its group or anyone may read it (never on Windows).
std::vector<CSettingsNote> SettingsFileNotes(const std::string& strPath, const CSettings& values);

// For the operator; strFile is the settings file as the caller shows it:
// "irc_Password is sent in plain text: set irc_TLS=yes", "FILE holds
// irc_Password and can be read by others; chmod 600 it".
std::string NoteText(const CSettingsNote& note, const std::string& strFile);

}  // namespace config
