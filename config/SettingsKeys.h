#pragma once
// The one table of settings keys: each key's name, type, first-start
// default, range or choices, the side a change of it restarts, the tab that
// shows it, what a side needs of it, its help text and where its value lives
// in CSettings. The file's reader and writer, --help and the man page, the
// checks, the reload's "what changed" and the pages' bindings all read this
// table, so a key is spelled once. Pure; any thread.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "config/Settings.h"

namespace config {

enum class ESettingType {
    Text,    // the value as written; the reader has dropped every blank
    Int,     // signed 32 bits; the reader takes the leading number, saturated
    Port16,  // a port: the low 16 bits of the number, written signed (65535 as -1)
    Bool,    // "yes" is on, any other word off; written "yes" or "no"
};

// Which side a change of the key restarts.
enum class ESettingSide {
    Irc,     // the IRC connection
    Ticket,  // none: the ticket reporter reads the interval before each wait
    Game,    // the game side: server, language, colours and filters
    Stats,   // the statistics: their file, and the channel's commands
    Web,     // the web page
};

// The tab whose controls hold the key; its Connect checks the tab's keys.
enum class ESettingTab {
    Irc,
    Game,
    Colors,
    File,  // in the settings file only
};

// What a side needs of the key before it starts (see SettingsCheck.h).
enum class ESettingRule {
    None,
    Filled,      // a text that is not empty
    Port,        // a port that is not 0
    Positive,    // a number above 0
    Credential,  // filled while the login needs it: authentication on, and not
                 // SASL EXTERNAL (which logs in by the client certificate)
};

struct CSettingKey {
    std::string_view m_strName;  // "irc_Nick"
    ESettingType m_eType;
    ESettingSide m_eSide;
    ESettingTab m_eTab;
    std::string_view m_strDefault;  // as a first start writes it: "fraghorn", "6667", "yes"
    // Int and Port16: the values that mean something (a list's indices, a
    // port's range); the file may hold any other, which the checks judge.
    int32_t m_nMin = 0;
    int32_t m_nMax = 0;
    // Int keys that pick from a list: the list for the operator.
    const char* m_pszChoices = nullptr;
    // For --help and the man page: lines of at most 48 characters.
    const char* m_pszHelp = nullptr;
    ESettingRule m_eRule = ESettingRule::None;
    int m_nCheckOrder = 0;    // the key's place among its tab's checks
    bool m_bAnyCase = false;  // compared without regard to ASCII case (a channel, as IRC does)
    // Where the value lives: the one of these that m_eType names.
    std::string& (*m_pText)(CSettings&) = nullptr;
    int32_t& (*m_pInt)(CSettings&) = nullptr;
    uint16_t& (*m_pPort)(CSettings&) = nullptr;
    bool& (*m_pBool)(CSettings&) = nullptr;

    std::string& Text(CSettings& settings) const { return m_pText(settings); }
    const std::string& Text(const CSettings& settings) const {
        return m_pText(const_cast<CSettings&>(settings));
    }
    int32_t& Int(CSettings& settings) const { return m_pInt(settings); }
    int32_t Int(const CSettings& settings) const {
        return m_pInt(const_cast<CSettings&>(settings));
    }
    uint16_t& Port(CSettings& settings) const { return m_pPort(settings); }
    uint16_t Port(const CSettings& settings) const {
        return m_pPort(const_cast<CSettings&>(settings));
    }
    bool& Bool(CSettings& settings) const { return m_pBool(settings); }
    bool Bool(const CSettings& settings) const { return m_pBool(const_cast<CSettings&>(settings)); }
};

// Every key, in the file's order: the 24 of old, then irc_TLS,
// irc_TLSFingerprint and irc_ClientCert, then bf_DownAfter, stats_File,
// stats_Commands and web_Address.
std::span<const CSettingKey> SettingKeys();

// The key of that exact name, or null.
const CSettingKey* FindSettingKey(std::string_view strName);

// The value of the key as the file writes it: numbers in decimal, the port
// as a signed 16-bit number, switches "yes" or "no", a text without its
// line feeds and NUL bytes (so that no value can start a line of its own).
std::string SettingText(const CSettings& settings, const CSettingKey& key);

// Sets the key's field from a value as the reader has it (blanks already
// gone): a text as it is, a number's leading digits (none: 0), a port's
// low 16 bits, a switch on only for "yes".
void SetSettingFromText(CSettings& settings, const CSettingKey& key, std::string_view strValue);

}  // namespace config
