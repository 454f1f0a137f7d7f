#pragma once
// Every operator setting as one value: the IRC connection, the ticket
// interval, the game server and the colour scheme, the statistics and the
// web page, each field in the one type it has everywhere. A
// default-constructed value holds what a file that names nothing gives
// (texts empty, integers 0, list indices -1, filters on; the keys added
// later their own defaults, so that an older file gets them);
// DefaultSettings() is a first start's. Pure; any thread.
#include <cstdint>
#include <string>

#include "irc/IrcSettings.h"
#include "monitor/ColorScheme.h"

namespace config {

// The IRC server of a first start, when there is no settings file yet.
inline constexpr char kDefaultIrcServer[] = "irc.quakenet.org";

// The BF42 tab: which game server is queried and the announcements' language.
struct CGameServerSettings {
    std::string m_strServer;   // bf_Server: host name or address as typed
    int32_t m_nQueryPort = 0;  // bf_Port: the query uses its low 16 bits
    int32_t m_nLanguage = -1;  // bf_Language: index of the language list, -1 none
    // bf_DownAfter: polls left unanswered in a row, while relaying, before
    // the channel hears that the server stopped answering; 0: never.
    int32_t m_nDownAfter = 10;

    bool operator==(const CGameServerSettings&) const = default;
};

// What the bot keeps of the match, and who may ask for it.
struct CStatsSettings {
    // stats_File: the SQLite file, relative to the settings file's folder;
    // empty: no statistics.
    std::string m_strFile = "fragrelay.db";
    bool m_bCommands = true;  // stats_Commands: !stats, !top, !lastround, !seen answered

    bool operator==(const CStatsSettings&) const = default;
};

struct CSettings {
    irc::CIrcSettings m_irc;         // irc_Server .. irc_Network and the three TLS keys
    int32_t m_nTicketSecs = 0;       // irc_Tickettime: seconds between two ticket reports
    CGameServerSettings m_game;      // bf_Language, bf_Server, bf_Port
    monitor::CColorScheme m_colors;  // the seven colours and the four show_* filters
    CStatsSettings m_stats;          // stats_File, stats_Commands
    // web_Address: where the read-only page listens ("8080", "HOST:PORT",
    // "[::1]:PORT"); empty: no page.
    std::string m_strWebAddress;

    bool operator==(const CSettings&) const = default;
};

// The values of a first start (no settings file), as the keys' table gives
// them: server irc.quakenet.org, port 6667, nick "fraghorn", Quakenet,
// English, query port 23000, the colours.
CSettings DefaultSettings();

}  // namespace config
