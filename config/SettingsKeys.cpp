#include "config/SettingsKeys.h"

#include <algorithm>
#include <climits>

#include "platform/Text.h"

namespace config {

namespace {

using S = CSettings;
using EType = ESettingType;
using ESide = ESettingSide;
using ETab = ESettingTab;
using ERule = ESettingRule;

// In the file's order. The keys added with the connection's security come
// after the 24 of old, so that an old file saved again keeps its lines.
constexpr CSettingKey kKeys[] = {
    {.strName = "irc_Server",
     .eType = EType::Text,
     .eSide = ESide::Irc,
     .eTab = ETab::Irc,
     .strDefault = kDefaultIrcServer,
     .pszHelp = "IRC server: host name or address",
     .eRule = ERule::Filled,
     .nCheckOrder = 2,
     .pText = [](S& s) -> std::string& { return s.m_irc.m_strServer; }},
    {.strName = "irc_Port",
     .eType = EType::Port16,
     .eSide = ESide::Irc,
     .eTab = ETab::Irc,
     .strDefault = "6667",
     .nMin = 1,
     .nMax = 65535,
     .pszHelp = "its TCP port (a port above 32767 is written\nas a negative number)",
     .eRule = ERule::Port,
     .nCheckOrder = 1,
     .pPort = [](S& s) -> uint16_t& { return s.m_irc.m_nPort; }},
    {.strName = "irc_Nick",
     .eType = EType::Text,
     .eSide = ESide::Irc,
     .eTab = ETab::Irc,
     .strDefault = "fraghorn",
     .pszHelp = "the bot's nickname",
     .eRule = ERule::Filled,
     .nCheckOrder = 3,
     .pText = [](S& s) -> std::string& { return s.m_irc.m_strNick; }},
    {.strName = "irc_altNick",
     .eType = EType::Text,
     .eSide = ESide::Irc,
     .eTab = ETab::Irc,
     .strDefault = "",
     .pszHelp = "the nickname when the first one is taken",
     .eRule = ERule::Filled,
     .nCheckOrder = 4,
     .pText = [](S& s) -> std::string& { return s.m_irc.m_strAltNick; }},
    {.strName = "irc_Channel",
     .eType = EType::Text,
     .eSide = ESide::Irc,
     .eTab = ETab::Irc,
     .strDefault = "",
     .pszHelp = "the channel, with its # (#myclan)",
     .eRule = ERule::Filled,
     .nCheckOrder = 5,
     .bAnyCase = true,
     .pText = [](S& s) -> std::string& { return s.m_irc.m_strChannel; }},
    {.strName = "irc_Auth",
     .eType = EType::Bool,
     .eSide = ESide::Irc,
     .eTab = ETab::Irc,
     .strDefault = "no",
     .pszHelp = "yes: log in to the network's account service",
     .pBool = [](S& s) -> bool& { return s.m_irc.m_bAuth; }},
    {.strName = "irc_Username",
     .eType = EType::Text,
     .eSide = ESide::Irc,
     .eTab = ETab::Irc,
     .strDefault = "",
     .pszHelp = "the account's name (with irc_Auth=yes)",
     .eRule = ERule::Credential,
     .nCheckOrder = 7,
     .pText = [](S& s) -> std::string& { return s.m_irc.m_strUsername; }},
    {.strName = "irc_Password",
     .eType = EType::Text,
     .eSide = ESide::Irc,
     .eTab = ETab::Irc,
     .strDefault = "",
     .pszHelp = "its password, in clear text (the file is kept\nreadable by its owner only)",
     .eRule = ERule::Credential,
     .nCheckOrder = 8,
     .pText = [](S& s) -> std::string& { return s.m_irc.m_strPassword; }},
    {.strName = "irc_Network",
     .eType = EType::Int,
     .eSide = ESide::Irc,
     .eTab = ETab::Irc,
     .strDefault = "0",
     .nMin = 0,
     .nMax = 2,
     .pszChoices = "0 Quakenet, 1 Gamesnet, 2 SASL",
     .pszHelp = "the account service: 0 Quakenet, 1 Gamesnet,\n2 SASL (PLAIN, or EXTERNAL with "
                "irc_ClientCert)",
     .pInt = [](S& s) -> int32_t& { return s.m_irc.m_nNetwork; }},
    {.strName = "irc_Tickettime",
     .eType = EType::Int,
     .eSide = ESide::Ticket,
     .eTab = ETab::Irc,
     .strDefault = "0",
     .nMin = 1,
     .nMax = INT32_MAX,
     .pszHelp = "seconds between two ticket reports (above 0)",
     .eRule = ERule::Positive,
     .nCheckOrder = 6,
     .pInt = [](S& s) -> int32_t& { return s.m_nTicketSecs; }},
    {.strName = "bf_Language",
     .eType = EType::Int,
     .eSide = ESide::Game,
     .eTab = ETab::Game,
     .strDefault = "0",
     .nMin = 0,
     .nMax = 7,
     .pszChoices = "0 English, 1 German, 2 French, 3 Spanish, 4 Swedish, 5 Icelandic, 6 Dutch, "
                   "7 Finnish",
     .pszHelp = "0 English, 1 German, 2 French, 3 Spanish,\n"
                "4 Swedish, 5 Icelandic, 6 Dutch, 7 Finnish",
     .pInt = [](S& s) -> int32_t& { return s.m_game.m_nLanguage; }},
    {.strName = "bf_Server",
     .eType = EType::Text,
     .eSide = ESide::Game,
     .eTab = ETab::Game,
     .strDefault = "",
     .pszHelp = "game server: host name or address",
     .eRule = ERule::Filled,
     .nCheckOrder = 2,
     .pText = [](S& s) -> std::string& { return s.m_game.m_strServer; }},
    {.strName = "bf_Port",
     .eType = EType::Int,
     .eSide = ESide::Game,
     .eTab = ETab::Game,
     .strDefault = "23000",
     .nMin = 1,
     .nMax = 65535,
     .pszHelp = "its UDP query port (usually 23000)",
     .eRule = ERule::Port,
     .nCheckOrder = 1,
     .pInt = [](S& s) -> int32_t& { return s.m_game.m_nQueryPort; }},
    // The colours' order among the checks is the Settings tab's.
    {.strName = "allied_farbe_kill",
     .eType = EType::Text,
     .eSide = ESide::Game,
     .eTab = ETab::Colors,
     .strDefault = "02",
     .pszHelp = "mIRC colour (00 to 15) of Allied kills",
     .eRule = ERule::Filled,
     .nCheckOrder = 1,
     .pText = [](S& s) -> std::string& { return s.m_colors.m_strAlliedKillColor; }},
    {.strName = "allied_farbe_flagge",
     .eType = EType::Text,
     .eSide = ESide::Game,
     .eTab = ETab::Colors,
     .strDefault = "12",
     .pszHelp = "colour of Allied flag captures",
     .eRule = ERule::Filled,
     .nCheckOrder = 4,
     .pText = [](S& s) -> std::string& { return s.m_colors.m_strAlliedFlagColor; }},
    {.strName = "axis_farbe_kill",
     .eType = EType::Text,
     .eSide = ESide::Game,
     .eTab = ETab::Colors,
     .strDefault = "05",
     .pszHelp = "colour of Axis kills",
     .eRule = ERule::Filled,
     .nCheckOrder = 2,
     .pText = [](S& s) -> std::string& { return s.m_colors.m_strAxisKillColor; }},
    {.strName = "axis_farbe_flagge",
     .eType = EType::Text,
     .eSide = ESide::Game,
     .eTab = ETab::Colors,
     .strDefault = "04",
     .pszHelp = "colour of Axis flag captures",
     .eRule = ERule::Filled,
     .nCheckOrder = 5,
     .pText = [](S& s) -> std::string& { return s.m_colors.m_strAxisFlagColor; }},
    {.strName = "status_farbe",
     .eType = EType::Text,
     .eSide = ESide::Game,
     .eTab = ETab::Colors,
     .strDefault = "14",
     .pszHelp = "colour of status lines",
     .eRule = ERule::Filled,
     .nCheckOrder = 3,
     .pText = [](S& s) -> std::string& { return s.m_colors.m_strStatusColor; }},
    {.strName = "key_farbe",
     .eType = EType::Text,
     .eSide = ESide::Game,
     .eTab = ETab::Colors,
     .strDefault = "10",
     .pszHelp = "colour of the names in status lines",
     .eRule = ERule::Filled,
     .nCheckOrder = 7,
     .pText = [](S& s) -> std::string& { return s.m_colors.m_strKeyColor; }},
    {.strName = "value_farbe",
     .eType = EType::Text,
     .eSide = ESide::Game,
     .eTab = ETab::Colors,
     .strDefault = "14",
     .pszHelp = "colour of the values in status lines",
     .eRule = ERule::Filled,
     .nCheckOrder = 6,
     .pText = [](S& s) -> std::string& { return s.m_colors.m_strValueColor; }},
    {.strName = "show_flag",
     .eType = EType::Bool,
     .eSide = ESide::Game,
     .eTab = ETab::Colors,
     .strDefault = "yes",
     .pszHelp = "yes: announce flag captures",
     .pBool = [](S& s) -> bool& { return s.m_colors.m_bShowFlag; }},
    {.strName = "show_kill",
     .eType = EType::Bool,
     .eSide = ESide::Game,
     .eTab = ETab::Colors,
     .strDefault = "yes",
     .pszHelp = "yes: announce kills, suicides and deaths",
     .pBool = [](S& s) -> bool& { return s.m_colors.m_bShowKill; }},
    {.strName = "show_ticket",
     .eType = EType::Bool,
     .eSide = ESide::Game,
     .eTab = ETab::Colors,
     .strDefault = "yes",
     .pszHelp = "yes: report the tickets every irc_Tickettime\nseconds",
     .pBool = [](S& s) -> bool& { return s.m_colors.m_bShowTicket; }},
    {.strName = "show_tk",
     .eType = EType::Bool,
     .eSide = ESide::Game,
     .eTab = ETab::Colors,
     .strDefault = "yes",
     .pszHelp = "yes: announce teamkills",
     .pBool = [](S& s) -> bool& { return s.m_colors.m_bShowTk; }},
    {.strName = "irc_TLS",
     .eType = EType::Bool,
     .eSide = ESide::Irc,
     .eTab = ETab::Irc,
     .strDefault = "no",
     .pszHelp = "yes: TLS to the IRC server (usually port 6697),\nits certificate checked; never "
                "plain text",
     .pBool = [](S& s) -> bool& { return s.m_irc.m_security.m_bTls; }},
    {.strName = "irc_TLSFingerprint",
     .eType = EType::Text,
     .eSide = ESide::Irc,
     .eTab = ETab::Irc,
     .strDefault = "",
     .pszHelp = "SHA-256 of a self-signed server certificate\n(hex, colons allowed): pins it "
                "instead of the\nsystem's trust store",
     .pText = [](S& s) -> std::string& { return s.m_irc.m_security.m_strTlsFingerprint; }},
    {.strName = "irc_ClientCert",
     .eType = EType::Text,
     .eSide = ESide::Irc,
     .eTab = ETab::Irc,
     .strDefault = "",
     .pszHelp = "PEM file with client certificate and key\n(CertFP, SASL EXTERNAL); no blanks in "
                "the path",
     .pText = [](S& s) -> std::string& { return s.m_irc.m_security.m_strClientCert; }},
    // Added with the statistics and the web page, after the others again.
    {.strName = "bf_DownAfter",
     .eType = EType::Int,
     .eSide = ESide::Game,
     .eTab = ETab::File,
     .strDefault = "10",
     .nMin = 0,
     .nMax = 1000000,
     .pszHelp = "polls the game server leaves unanswered in\na row, while relaying, before the "
                "channel\nhears of it (0: never)",
     .pInt = [](S& s) -> int32_t& { return s.m_game.m_nDownAfter; }},
    {.strName = "stats_File",
     .eType = EType::Text,
     .eSide = ESide::Stats,
     .eTab = ETab::File,
     .strDefault = "fragrelay.db",
     .pszHelp = "SQLite file of rounds and players, beside\nthe settings file unless a path is "
                "given;\nempty: no statistics",
     .pText = [](S& s) -> std::string& { return s.m_stats.m_strFile; }},
    {.strName = "stats_Commands",
     .eType = EType::Bool,
     .eSide = ESide::Stats,
     .eTab = ETab::File,
     .strDefault = "yes",
     .pszHelp = "yes: answer !stats, !top, !lastround, !seen",
     .pBool = [](S& s) -> bool& { return s.m_stats.m_bCommands; }},
    {.strName = "web_Address",
     .eType = EType::Text,
     .eSide = ESide::Web,
     .eTab = ETab::File,
     .strDefault = "",
     .pszHelp = "address of the read-only web page: a port\n(127.0.0.1:PORT), HOST:PORT or "
                "[::1]:PORT;\n0.0.0.0:PORT for every interface; empty: off",
     .pText = [](S& s) -> std::string& { return s.m_strWebAddress; }},
};

std::string OneLine(std::string_view strValue) {
    std::string str(strValue);
    str.erase(std::remove_if(str.begin(), str.end(), [](char c) { return c == '\n' || c == '\0'; }),
              str.end());
    return str;
}

}  // namespace

std::span<const CSettingKey> SettingKeys() {
    return kKeys;
}

const CSettingKey* FindSettingKey(std::string_view strName) {
    for (const CSettingKey& key : kKeys)
        if (key.strName == strName) return &key;
    return nullptr;
}

std::string SettingText(const CSettings& settings, const CSettingKey& key) {
    switch (key.eType) {
        case ESettingType::Text:
            return OneLine(key.Text(settings));
        case ESettingType::Int:
            return platform::IntToText(key.Int(settings));
        case ESettingType::Port16:
            // Written as the 16 bits read signed, as the file has always had it.
            return platform::IntToText(static_cast<int16_t>(key.Port(settings)));
        case ESettingType::Bool:
            return key.Bool(settings) ? "yes" : "no";
    }
    return {};
}

void SetSettingFromText(CSettings& settings, const CSettingKey& key, std::string_view strValue) {
    switch (key.eType) {
        case ESettingType::Text:
            key.Text(settings) = std::string(strValue);
            break;
        case ESettingType::Int:
            key.Int(settings) = platform::ParseLeadingInt(strValue);
            break;
        case ESettingType::Port16:
            // Only the low 16 bits: 70000 is port 4464.
            key.Port(settings) =
                static_cast<uint16_t>(static_cast<uint32_t>(platform::ParseLeadingInt(strValue)));
            break;
        case ESettingType::Bool:
            key.Bool(settings) = strValue == "yes";
            break;
    }
}

CSettings DefaultSettings() {
    CSettings settings;
    for (const CSettingKey& key : kKeys) SetSettingFromText(settings, key, key.strDefault);
    return settings;
}

}  // namespace config
