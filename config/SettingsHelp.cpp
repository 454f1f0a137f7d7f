#include "config/SettingsHelp.h"

#include <string_view>

#include "config/SettingsFormat.h"

namespace config {

namespace {

struct CKeyMeaning {
    std::string_view strKey;
    const char* pszMeaning;
};

// Lines of at most 48 characters, so that the help fits 80 columns.
const CKeyMeaning kMeanings[] = {
    {"irc_Server", "IRC server: host name or address"},
    {"irc_Port", "its TCP port (a port above 32767 is written\nas a negative number)"},
    {"irc_Nick", "the bot's nickname"},
    {"irc_altNick", "the nickname when the first one is taken"},
    {"irc_Channel", "the channel, with its # (#myclan)"},
    {"irc_Auth", "yes: log in to the network's account service"},
    {"irc_Username", "the account's name (with irc_Auth=yes)"},
    {"irc_Password", "its password, in clear text (the file is kept\nreadable by its owner only)"},
    {"irc_Network",
     "the account service: 0 Quakenet, 1 Gamesnet,\n2 SASL (PLAIN, or EXTERNAL with "
     "irc_ClientCert)"},
    {"irc_Tickettime", "seconds between two ticket reports (above 0)"},
    {"bf_Language",
     "0 English, 1 German, 2 French, 3 Spanish,\n"
     "4 Swedish, 5 Icelandic, 6 Dutch, 7 Finnish"},
    {"bf_Server", "game server: host name or address"},
    {"bf_Port", "its UDP query port (usually 23000)"},
    {"allied_farbe_kill", "mIRC colour (00 to 15) of Allied kills"},
    {"allied_farbe_flagge", "colour of Allied flag captures"},
    {"axis_farbe_kill", "colour of Axis kills"},
    {"axis_farbe_flagge", "colour of Axis flag captures"},
    {"status_farbe", "colour of status lines"},
    {"key_farbe", "colour of the names in status lines"},
    {"value_farbe", "colour of the values in status lines"},
    {"show_flag", "yes: announce flag captures"},
    {"show_kill", "yes: announce kills, suicides and deaths"},
    {"show_ticket", "yes: report the tickets every irc_Tickettime\nseconds"},
    {"show_tk", "yes: announce teamkills"},
    {"irc_TLS",
     "yes: TLS to the IRC server (usually port 6697),\nits certificate checked; never plain text"},
    {"irc_TLSFingerprint",
     "SHA-256 of a self-signed server certificate\n(hex, colons allowed): pins it instead of "
     "the\nsystem's trust store"},
    {"irc_ClientCert",
     "PEM file with client certificate and key\n(CertFP, SASL EXTERNAL); no blanks in the path"},
};

constexpr size_t kMeaningColumn = 31;

}  // namespace

std::string SettingsKeysHelp() {
    const std::string strDefaults = FormatSettings(DefaultSettings());
    std::string strHelp;
    for (size_t nAt = 0; nAt < strDefaults.size();) {
        size_t nEnd = strDefaults.find("\r\n", nAt);
        if (nEnd == std::string::npos) nEnd = strDefaults.size();
        const std::string_view strLine(strDefaults.data() + nAt, nEnd - nAt);
        nAt = nEnd + 2;
        const std::string_view strKey = strLine.substr(0, strLine.find('='));
        std::string strEntry = "  " + std::string(strLine);
        strEntry += strEntry.size() + 2 <= kMeaningColumn
                        ? std::string(kMeaningColumn - strEntry.size(), ' ')
                        : "\n" + std::string(kMeaningColumn, ' ');
        for (const CKeyMeaning& meaning : kMeanings) {
            if (meaning.strKey != strKey) continue;
            for (const char* psz = meaning.pszMeaning; *psz != '\0'; ++psz) {
                strEntry += *psz;
                if (*psz == '\n') strEntry += std::string(kMeaningColumn, ' ');
            }
        }
        strHelp += strEntry + "\n";
    }
    return strHelp;
}

}  // namespace config
