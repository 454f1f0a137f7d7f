// The info reply as the quick-info panel reads it: seven keys compared
// exactly, the last occurrence kept, 16-bit numbers, the mod rule. The
// cases the check shows against the stand-in server are tested there.
#include <gtest/gtest.h>

#include <ostream>

#include <fstream>
#include <sstream>
#include <string>

#include "query/InfoReply.h"

namespace {

const std::string kClose = "\\final\\\\queryid\\17.1";

struct InfoCase {
    const char* m_szName;
    std::string m_strPairs;  // the reply before its closing pairs
    std::string m_strHostname;
    std::string m_strMod;
    std::string m_strGamePort;
    std::string m_strPlayers;
    std::string m_strVersion;
    std::string m_strMap;
};
// Rows print by name, so test listings stay readable.
void PrintTo(const InfoCase& row, std::ostream* pOut) {
    *pOut << row.m_szName;
}

class InfoReplyTable : public ::testing::TestWithParam<InfoCase> {};

TEST_P(InfoReplyTable, ShowsWhatThePanelShows) {
    const InfoCase& c = GetParam();
    const query::CInfoReply info = query::ParseInfoReply(c.m_strPairs + kClose);
    EXPECT_EQ(info.m_strHostname, c.m_strHostname);
    EXPECT_EQ(info.m_strMod, c.m_strMod);
    EXPECT_EQ(info.GamePortText(), c.m_strGamePort);
    EXPECT_EQ(info.PlayersText(), c.m_strPlayers);
    EXPECT_EQ(info.m_strVersion, c.m_strVersion);
    EXPECT_EQ(info.m_strMapName, c.m_strMap);
}

const std::string kFull =
    "\\hostname\\Wake 24/7\\hostport\\14567\\gameId\\bf1942\\version\\v1.61"
    "\\numplayers\\12\\maxplayers\\32\\mapname\\wake";

INSTANTIATE_TEST_SUITE_P(
    Cases, InfoReplyTable,
    ::testing::Values(
        InfoCase{"AllSevenKeys", kFull, "Wake 24/7", "bf1942", "14567", "12/32", "v1.61", "wake"},
        InfoCase{"MixedCaseXpack1IsRtR", "\\gameId\\xPack1", "", "RtR", "0", "0/0", "", ""},
        InfoCase{"Xpack1WithMoreIsNotRtR", "\\gameId\\xpack12", "", "xpack12", "0", "0/0", "", ""},
        InfoCase{"HostPortLow16Bits", "\\hostport\\65537", "", "", "1", "0/0", "", ""},
        InfoCase{"HostPortNegativeWraps", "\\hostport\\-1", "", "", "65535", "0/0", "", ""},
        InfoCase{"CountsAreSigned16Bit", "\\numplayers\\40000\\maxplayers\\-3", "", "", "0",
                 "-25536/-3", "", ""},
        InfoCase{"NumbersReadLikeAtoi", "\\numplayers\\ +7 players\\maxplayers\\x9", "", "", "0",
                 "7/0", "", ""},
        InfoCase{"KeysAreCaseSensitive", "\\Hostname\\A\\Version\\v1.6\\MapName\\b\\GameId\\xpack1",
                 "", "", "0", "0/0", "", ""},
        // An empty value is a value: it never turns the next key into a value.
        InfoCase{"EmptyValuesShiftNothing",
                 "\\hostname\\\\password\\\\gameId\\xpack1\\version\\\\mapname\\berlin", "", "RtR",
                 "0", "0/0", "", "berlin"}),
    [](const ::testing::TestParamInfo<InfoCase>& info) { return info.param.m_szName; });

TEST(InfoReply, TruncatedRepliesNeverReadPastTheirEnd) {
    // Every prefix of a reply, including one cut inside a key or a value.
    const std::string strReply = kFull + kClose;
    for (size_t n = 0; n <= strReply.size(); ++n) {
        const std::string strCut = strReply.substr(0, n);
        const query::CInfoReply info = query::ParseInfoReply(strCut);
        EXPECT_LE(info.m_strHostname.size(), n);
        EXPECT_LE(info.m_strMapName.size(), n);
    }
    EXPECT_EQ(query::ParseInfoReply(""), query::CInfoReply());
    EXPECT_EQ(query::ParseInfoReply("\\\\\\"), query::CInfoReply());
}

std::string ReadDataFile(const std::string& strName) {
    std::ifstream in(std::string(FR_CAPTURED_DATA) + "/" + strName, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A real v1.61 server spells the version in lower case, as the panel reads it.
TEST(InfoReply, CapturedServerReplyShowsItsFacts) {
    const std::string strReply = ReadDataFile("status-v1.61-datagram1.txt") +
                                 ReadDataFile("status-v1.61-datagram2.txt") +
                                 "\\final\\\\queryid\\6903.3";
    ASSERT_GT(strReply.size(), 2000u);
    const query::CInfoReply info = query::ParseInfoReply(strReply);
    EXPECT_EQ(info.m_strHostname, "NOME DO SERVIDOR | LOL NOME DO SERVIDOR");
    EXPECT_EQ(info.GamePortText(), "14567");
    EXPECT_EQ(info.m_strMod, "bf1942");
    EXPECT_EQ(info.m_strMapName, "wake");
    EXPECT_EQ(info.PlayersText(), "36/64");
    EXPECT_EQ(info.m_strVersion, "v1.61");
}

}  // namespace
