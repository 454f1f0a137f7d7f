// The table of settings keys that the reader, the writer, the help, the
// checks and the reload all read: every key once and in the file's order,
// each reaching a field of its own, its default as a first start writes it,
// and the side a change of it restarts.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "SettingsPrint.h"
#include "config/SettingsCheck.h"
#include "config/SettingsKeys.h"
#include "platform/Text.h"

namespace {

using config::CSettingKey;
using config::CSettings;
using config::ESettingSide;
using config::ESettingType;
using config::SettingKeys;

std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const CSettingKey& key : SettingKeys()) names.emplace_back(key.m_strName);
    return names;
}

// A value the file could hold that differs from the key's default.
std::string OtherValue(const CSettingKey& key) {
    switch (key.m_eType) {
        case ESettingType::Text:
            return "other";
        case ESettingType::Int:
        case ESettingType::Port16:
            return platform::IntToText(platform::ParseLeadingInt(key.m_strDefault) + 1);
        case ESettingType::Bool:
            return key.m_strDefault == "yes" ? "no" : "yes";
    }
    return {};
}

TEST(SettingKeys, EveryKeyOnceInTheFilesOrder) {
    // The 24 of old, then the connection's security, then the statistics'
    // and the web page's: an old file saved again keeps its lines.
    const std::vector<std::string> kOrder = {
        "irc_Server",      "irc_Port",           "irc_Nick",
        "irc_altNick",     "irc_Channel",        "irc_Auth",
        "irc_Username",    "irc_Password",       "irc_Network",
        "irc_Tickettime",  "bf_Language",        "bf_Server",
        "bf_Port",         "allied_farbe_kill",  "allied_farbe_flagge",
        "axis_farbe_kill", "axis_farbe_flagge",  "status_farbe",
        "key_farbe",       "value_farbe",        "show_flag",
        "show_kill",       "show_ticket",        "show_tk",
        "irc_TLS",         "irc_TLSFingerprint", "irc_ClientCert",
        "bf_DownAfter",    "stats_File",         "stats_Commands",
        "web_Address"};
    EXPECT_EQ(Names(), kOrder);
    const std::vector<std::string> names = Names();
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
    for (const CSettingKey& key : SettingKeys())
        EXPECT_EQ(config::FindSettingKey(key.m_strName), &key) << key.m_strName;
    EXPECT_EQ(config::FindSettingKey("irc_nick"), nullptr) << "keys match exactly";
    EXPECT_EQ(config::FindSettingKey("irc_Nick "), nullptr);
    EXPECT_EQ(config::FindSettingKey(""), nullptr);
}

// A key that shared another's field, or wrote through the wrong type, would
// change more than its own line or read back something else.
TEST(SettingKeys, EachKeyReachesAFieldOfItsOwn) {
    const CSettings defaults = config::DefaultSettings();
    for (const CSettingKey& key : SettingKeys()) {
        SCOPED_TRACE(std::string(key.m_strName));
        const int nAccessors = (key.m_pText != nullptr) + (key.m_pInt != nullptr) +
                               (key.m_pPort != nullptr) + (key.m_pBool != nullptr);
        ASSERT_EQ(nAccessors, 1);
        ASSERT_NE(key.m_eType == ESettingType::Text     ? key.m_pText != nullptr
                  : key.m_eType == ESettingType::Int    ? key.m_pInt != nullptr
                  : key.m_eType == ESettingType::Port16 ? key.m_pPort != nullptr
                                                        : key.m_pBool != nullptr,
                  false);
        CSettings changed = defaults;
        const std::string strOther = OtherValue(key);
        config::SetSettingFromText(changed, key, strOther);
        EXPECT_EQ(config::SettingText(changed, key), strOther);
        EXPECT_EQ(config::ChangedSettingsKeys(defaults, changed),
                  std::vector<std::string>{std::string(key.m_strName)});
    }
}

TEST(SettingKeys, DefaultsAreWhatAFirstStartWrites) {
    const CSettings defaults = config::DefaultSettings();
    for (const CSettingKey& key : SettingKeys())
        EXPECT_EQ(config::SettingText(defaults, key), key.m_strDefault) << key.m_strName;
    // A file that names nothing is not a first start.
    EXPECT_NE(CSettings{}, defaults);
}

TEST(SettingKeys, HelpRangesAndCheckOrder) {
    std::set<std::pair<int, int>> checkPlaces;
    for (const CSettingKey& key : SettingKeys()) {
        SCOPED_TRACE(std::string(key.m_strName));
        ASSERT_NE(key.m_pszHelp, nullptr);
        const std::string strHelp = key.m_pszHelp;
        EXPECT_FALSE(strHelp.empty());
        for (size_t nAt = 0; nAt <= strHelp.size();) {
            size_t nEnd = strHelp.find('\n', nAt);
            if (nEnd == std::string::npos) nEnd = strHelp.size();
            EXPECT_LE(nEnd - nAt, 48u) << "the help fits 80 columns";
            nAt = nEnd + 1;
        }
        const bool bNumber =
            key.m_eType == ESettingType::Int || key.m_eType == ESettingType::Port16;
        EXPECT_TRUE(bNumber ? key.m_nMin <= key.m_nMax : key.m_nMin == key.m_nMax)
            << key.m_nMin << " to " << key.m_nMax;
        if (key.m_eRule != config::ESettingRule::None) {
            EXPECT_GT(key.m_nCheckOrder, 0);
            EXPECT_TRUE(
                checkPlaces.insert({static_cast<int>(key.m_eTab), key.m_nCheckOrder}).second)
                << "two keys in one place of their tab's checks";
        }
    }
}

// What a reload restarts: the IRC side for its connection, the game side
// for server, language, colours and filters, nothing for the interval.
TEST(SettingKeys, EachKeyBelongsToTheSideItRestarts) {
    for (const CSettingKey& key : SettingKeys()) {
        const std::string strName(key.m_strName);
        const ESettingSide eExpected = strName == "irc_Tickettime"       ? ESettingSide::Ticket
                                       : strName.rfind("irc_", 0) == 0   ? ESettingSide::Irc
                                       : strName.rfind("stats_", 0) == 0 ? ESettingSide::Stats
                                       : strName.rfind("web_", 0) == 0   ? ESettingSide::Web
                                                                         : ESettingSide::Game;
        EXPECT_EQ(key.m_eSide, eExpected) << strName;
    }
    using config::CSidesOfChange;
    const CSettings before = config::DefaultSettings();
    const struct {
        const char* m_pszName;
        std::vector<const char*> m_keys;
        CSidesOfChange m_sides;
    } kRows[] = {
        {"Nothing", {}, {}},
        {"Nick", {"irc_Nick"}, {.m_bIrc = true}},
        {"Fingerprint", {"irc_TLSFingerprint"}, {.m_bIrc = true}},
        {"Interval", {"irc_Tickettime"}, {.m_bTicket = true}},
        {"Filter", {"show_tk"}, {.m_bGame = true}},
        {"Colour", {"key_farbe"}, {.m_bGame = true}},
        {"BothSides", {"bf_Language", "irc_TLS"}, {.m_bIrc = true, .m_bGame = true}},
        {"IntervalAndServer",
         {"irc_Tickettime", "irc_Server"},
         {.m_bIrc = true, .m_bTicket = true}},
        {"Outages", {"bf_DownAfter"}, {.m_bGame = true}},
        {"StatisticsFile", {"stats_File"}, {.m_bStats = true}},
        {"Commands", {"stats_Commands"}, {.m_bStats = true}},
        {"Page", {"web_Address"}, {.m_bWeb = true}},
    };
    for (const auto& row : kRows) {
        CSettings after = before;
        for (const char* pszKey : row.m_keys) {
            const CSettingKey* pKey = config::FindSettingKey(pszKey);
            ASSERT_NE(pKey, nullptr) << pszKey;
            config::SetSettingFromText(after, *pKey, OtherValue(*pKey));
        }
        EXPECT_EQ(config::SidesOfChange(before, after), row.m_sides) << row.m_pszName;
        EXPECT_EQ(config::SidesOfChange(before, after).Any(), !row.m_keys.empty()) << row.m_pszName;
    }
    // The channel's case alone changes nothing, as the server compares it.
    CSettings after = before;
    after.m_irc.m_strChannel = "#Clan";
    CSettings lower = before;
    lower.m_irc.m_strChannel = "#clan";
    EXPECT_FALSE(config::SidesOfChange(lower, after).Any());
}

}  // namespace
