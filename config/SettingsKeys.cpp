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
    {.m_strName = "irc_Server",
     .m_eType = EType::Text,
     .m_eSide = ESide::Irc,
     .m_eTab = ETab::Irc,
     .m_strDefault = kDefaultIrcServer,
     .m_pszHelp = "IRC server: host name or address",
     .m_eRule = ERule::Filled,
     .m_nCheckOrder = 2,
     .m_pText = [](S& s) -> std::string& { return s.m_irc.m_strServer; }},
    {.m_strName = "irc_Port",
     .m_eType = EType::Port16,
     .m_eSide = ESide::Irc,
     .m_eTab = ETab::Irc,
     .m_strDefault = "6667",
     .m_nMin = 1,
     .m_nMax = 65535,
     .m_pszHelp = "its TCP port (a port above 32767 is written\nas a negative number)",
     .m_eRule = ERule::Port,
     .m_nCheckOrder = 1,
     .m_pPort = [](S& s) -> uint16_t& { return s.m_irc.m_nPort; }},
    {.m_strName = "irc_Nick",
     .m_eType = EType::Text,
     .m_eSide = ESide::Irc,
     .m_eTab = ETab::Irc,
     .m_strDefault = "fraghorn",
     .m_pszHelp = "the bot's nickname",
     .m_eRule = ERule::Filled,
     .m_nCheckOrder = 3,
     .m_pText = [](S& s) -> std::string& { return s.m_irc.m_strNick; }},
    {.m_strName = "irc_altNick",
     .m_eType = EType::Text,
     .m_eSide = ESide::Irc,
     .m_eTab = ETab::Irc,
     .m_strDefault = "",
     .m_pszHelp = "the nickname when the first one is taken",
     .m_eRule = ERule::Filled,
     .m_nCheckOrder = 4,
     .m_pText = [](S& s) -> std::string& { return s.m_irc.m_strAltNick; }},
    {.m_strName = "irc_Channel",
     .m_eType = EType::Text,
     .m_eSide = ESide::Irc,
     .m_eTab = ETab::Irc,
     .m_strDefault = "",
     .m_pszHelp = "the channel, with its # (#myclan)",
     .m_eRule = ERule::Filled,
     .m_nCheckOrder = 5,
     .m_bAnyCase = true,
     .m_pText = [](S& s) -> std::string& { return s.m_irc.m_strChannel; }},
    {.m_strName = "irc_Auth",
     .m_eType = EType::Bool,
     .m_eSide = ESide::Irc,
     .m_eTab = ETab::Irc,
     .m_strDefault = "no",
     .m_pszHelp = "yes: log in to the network's account service",
     .m_pBool = [](S& s) -> bool& { return s.m_irc.m_bAuth; }},
    {.m_strName = "irc_Username",
     .m_eType = EType::Text,
     .m_eSide = ESide::Irc,
     .m_eTab = ETab::Irc,
     .m_strDefault = "",
     .m_pszHelp = "the account's name (with irc_Auth=yes)",
     .m_eRule = ERule::Credential,
     .m_nCheckOrder = 7,
     .m_pText = [](S& s) -> std::string& { return s.m_irc.m_strUsername; }},
    {.m_strName = "irc_Password",
     .m_eType = EType::Text,
     .m_eSide = ESide::Irc,
     .m_eTab = ETab::Irc,
     .m_strDefault = "",
     .m_pszHelp = "its password, in clear text (the file is kept\nreadable by its owner only)",
     .m_eRule = ERule::Credential,
     .m_nCheckOrder = 8,
     .m_pText = [](S& s) -> std::string& { return s.m_irc.m_strPassword; }},
    {.m_strName = "irc_Network",
     .m_eType = EType::Int,
     .m_eSide = ESide::Irc,
     .m_eTab = ETab::Irc,
     .m_strDefault = "0",
     .m_nMin = 0,
     .m_nMax = 2,
     .m_pszChoices = "0 Quakenet, 1 Gamesnet, 2 SASL",
     .m_pszHelp = "the account service: 0 Quakenet, 1 Gamesnet,\n2 SASL (PLAIN, or EXTERNAL with "
                  "irc_ClientCert)",
     .m_pInt = [](S& s) -> int32_t& { return s.m_irc.m_nNetwork; }},
    {.m_strName = "irc_Tickettime",
     .m_eType = EType::Int,
     .m_eSide = ESide::Ticket,
     .m_eTab = ETab::Irc,
     .m_strDefault = "0",
     .m_nMin = 1,
     .m_nMax = INT32_MAX,
     .m_pszHelp = "seconds between two ticket reports (above 0)",
     .m_eRule = ERule::Positive,
     .m_nCheckOrder = 6,
     .m_pInt = [](S& s) -> int32_t& { return s.m_nTicketSecs; }},
    {.m_strName = "bf_Language",
     .m_eType = EType::Int,
     .m_eSide = ESide::Game,
     .m_eTab = ETab::Game,
     .m_strDefault = "0",
     .m_nMin = 0,
     .m_nMax = 7,
     .m_pszChoices = "0 English, 1 German, 2 French, 3 Spanish, 4 Swedish, 5 Icelandic, 6 Dutch, "
                     "7 Finnish",
     .m_pszHelp = "0 English, 1 German, 2 French, 3 Spanish,\n"
                  "4 Swedish, 5 Icelandic, 6 Dutch, 7 Finnish",
     .m_pInt = [](S& s) -> int32_t& { return s.m_game.m_nLanguage; }},
    {.m_strName = "bf_Server",
     .m_eType = EType::Text,
     .m_eSide = ESide::Game,
     .m_eTab = ETab::Game,
     .m_strDefault = "",
     .m_pszHelp = "game server: host name or address",
     .m_eRule = ERule::Filled,
     .m_nCheckOrder = 2,
     .m_pText = [](S& s) -> std::string& { return s.m_game.m_strServer; }},
    {.m_strName = "bf_Port",
     .m_eType = EType::Int,
     .m_eSide = ESide::Game,
     .m_eTab = ETab::Game,
     .m_strDefault = "23000",
     .m_nMin = 1,
     .m_nMax = 65535,
     .m_pszHelp = "its UDP query port (usually 23000)",
     .m_eRule = ERule::Port,
     .m_nCheckOrder = 1,
     .m_pInt = [](S& s) -> int32_t& { return s.m_game.m_nQueryPort; }},
    // The colours' order among the checks is the Settings tab's.
    {.m_strName = "allied_farbe_kill",
     .m_eType = EType::Text,
     .m_eSide = ESide::Game,
     .m_eTab = ETab::Colors,
     .m_strDefault = "02",
     .m_pszHelp = "mIRC colour (00 to 15) of Allied kills",
     .m_eRule = ERule::Filled,
     .m_nCheckOrder = 1,
     .m_pText = [](S& s) -> std::string& { return s.m_colors.m_strAlliedKillColor; }},
    {.m_strName = "allied_farbe_flagge",
     .m_eType = EType::Text,
     .m_eSide = ESide::Game,
     .m_eTab = ETab::Colors,
     .m_strDefault = "12",
     .m_pszHelp = "colour of Allied flag captures",
     .m_eRule = ERule::Filled,
     .m_nCheckOrder = 4,
     .m_pText = [](S& s) -> std::string& { return s.m_colors.m_strAlliedFlagColor; }},
    {.m_strName = "axis_farbe_kill",
     .m_eType = EType::Text,
     .m_eSide = ESide::Game,
     .m_eTab = ETab::Colors,
     .m_strDefault = "05",
     .m_pszHelp = "colour of Axis kills",
     .m_eRule = ERule::Filled,
     .m_nCheckOrder = 2,
     .m_pText = [](S& s) -> std::string& { return s.m_colors.m_strAxisKillColor; }},
    {.m_strName = "axis_farbe_flagge",
     .m_eType = EType::Text,
     .m_eSide = ESide::Game,
     .m_eTab = ETab::Colors,
     .m_strDefault = "04",
     .m_pszHelp = "colour of Axis flag captures",
     .m_eRule = ERule::Filled,
     .m_nCheckOrder = 5,
     .m_pText = [](S& s) -> std::string& { return s.m_colors.m_strAxisFlagColor; }},
    {.m_strName = "status_farbe",
     .m_eType = EType::Text,
     .m_eSide = ESide::Game,
     .m_eTab = ETab::Colors,
     .m_strDefault = "14",
     .m_pszHelp = "colour of status lines",
     .m_eRule = ERule::Filled,
     .m_nCheckOrder = 3,
     .m_pText = [](S& s) -> std::string& { return s.m_colors.m_strStatusColor; }},
    {.m_strName = "key_farbe",
     .m_eType = EType::Text,
     .m_eSide = ESide::Game,
     .m_eTab = ETab::Colors,
     .m_strDefault = "10",
     .m_pszHelp = "colour of the names in status lines",
     .m_eRule = ERule::Filled,
     .m_nCheckOrder = 7,
     .m_pText = [](S& s) -> std::string& { return s.m_colors.m_strKeyColor; }},
    {.m_strName = "value_farbe",
     .m_eType = EType::Text,
     .m_eSide = ESide::Game,
     .m_eTab = ETab::Colors,
     .m_strDefault = "14",
     .m_pszHelp = "colour of the values in status lines",
     .m_eRule = ERule::Filled,
     .m_nCheckOrder = 6,
     .m_pText = [](S& s) -> std::string& { return s.m_colors.m_strValueColor; }},
    {.m_strName = "show_flag",
     .m_eType = EType::Bool,
     .m_eSide = ESide::Game,
     .m_eTab = ETab::Colors,
     .m_strDefault = "yes",
     .m_pszHelp = "yes: announce flag captures",
     .m_pBool = [](S& s) -> bool& { return s.m_colors.m_bShowFlag; }},
    {.m_strName = "show_kill",
     .m_eType = EType::Bool,
     .m_eSide = ESide::Game,
     .m_eTab = ETab::Colors,
     .m_strDefault = "yes",
     .m_pszHelp = "yes: announce kills, suicides and deaths",
     .m_pBool = [](S& s) -> bool& { return s.m_colors.m_bShowKill; }},
    {.m_strName = "show_ticket",
     .m_eType = EType::Bool,
     .m_eSide = ESide::Game,
     .m_eTab = ETab::Colors,
     .m_strDefault = "yes",
     .m_pszHelp = "yes: report the tickets every irc_Tickettime\nseconds",
     .m_pBool = [](S& s) -> bool& { return s.m_colors.m_bShowTicket; }},
    {.m_strName = "show_tk",
     .m_eType = EType::Bool,
     .m_eSide = ESide::Game,
     .m_eTab = ETab::Colors,
     .m_strDefault = "yes",
     .m_pszHelp = "yes: announce teamkills",
     .m_pBool = [](S& s) -> bool& { return s.m_colors.m_bShowTk; }},
    {.m_strName = "irc_TLS",
     .m_eType = EType::Bool,
     .m_eSide = ESide::Irc,
     .m_eTab = ETab::Irc,
     .m_strDefault = "no",
     .m_pszHelp = "yes: TLS to the IRC server (usually port 6697),\nits certificate checked; never "
                  "plain text",
     .m_pBool = [](S& s) -> bool& { return s.m_irc.m_security.m_bTls; }},
    {.m_strName = "irc_TLSFingerprint",
     .m_eType = EType::Text,
     .m_eSide = ESide::Irc,
     .m_eTab = ETab::Irc,
     .m_strDefault = "",
     .m_pszHelp = "SHA-256 of a self-signed server certificate\n(hex, colons allowed): pins it "
                  "instead of the\nsystem's trust store",
     .m_pText = [](S& s) -> std::string& { return s.m_irc.m_security.m_strTlsFingerprint; }},
    {.m_strName = "irc_ClientCert",
     .m_eType = EType::Text,
     .m_eSide = ESide::Irc,
     .m_eTab = ETab::Irc,
     .m_strDefault = "",
     .m_pszHelp = "PEM file with client certificate and key\n(CertFP, SASL EXTERNAL); no blanks in "
                  "the path",
     .m_pText = [](S& s) -> std::string& { return s.m_irc.m_security.m_strClientCert; }},
    // Added with the statistics and the web page, after the others again.
    {.m_strName = "bf_DownAfter",
     .m_eType = EType::Int,
     .m_eSide = ESide::Game,
     .m_eTab = ETab::File,
     .m_strDefault = "10",
     .m_nMin = 0,
     .m_nMax = 1000000,
     .m_pszHelp = "polls the game server leaves unanswered in\na row, while relaying, before the "
                  "channel\nhears of it (0: never)",
     .m_pInt = [](S& s) -> int32_t& { return s.m_game.m_nDownAfter; }},
    {.m_strName = "stats_File",
     .m_eType = EType::Text,
     .m_eSide = ESide::Stats,
     .m_eTab = ETab::File,
     .m_strDefault = "fragrelay.db",
     .m_pszHelp = "SQLite file of rounds and players, beside\nthe settings file unless a path is "
                  "given;\nempty: no statistics",
     .m_pText = [](S& s) -> std::string& { return s.m_stats.m_strFile; }},
    {.m_strName = "stats_Commands",
     .m_eType = EType::Bool,
     .m_eSide = ESide::Stats,
     .m_eTab = ETab::File,
     .m_strDefault = "yes",
     .m_pszHelp = "yes: answer !stats, !top, !lastround, !seen",
     .m_pBool = [](S& s) -> bool& { return s.m_stats.m_bCommands; }},
    {.m_strName = "web_Address",
     .m_eType = EType::Text,
     .m_eSide = ESide::Web,
     .m_eTab = ETab::File,
     .m_strDefault = "",
     .m_pszHelp = "address of the read-only web page: a port\n(127.0.0.1:PORT), HOST:PORT or "
                  "[::1]:PORT;\n0.0.0.0:PORT for every interface; empty: off",
     .m_pText = [](S& s) -> std::string& { return s.m_strWebAddress; }},
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
        if (key.m_strName == strName) return &key;
    return nullptr;
}

std::string SettingText(const CSettings& settings, const CSettingKey& key) {
    switch (key.m_eType) {
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
    switch (key.m_eType) {
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
    for (const CSettingKey& key : kKeys) SetSettingFromText(settings, key, key.m_strDefault);
    return settings;
}

}  // namespace config
