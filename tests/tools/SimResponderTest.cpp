#include "tools/bf42sim/SimResponder.h"

#include <gtest/gtest.h>

#include "tests/tools/SimTestSupport.h"
#include "tools/bf42sim/SimCommandLine.h"
#include "tools/bf42sim/SimRandom.h"

using namespace bf42sim;
using simtest::Find;
using simtest::Joined;
using simtest::ReadPairs;

namespace {

using namespace std::string_literals;

CSimState FullServer() {
    CSimState state = DefaultSimState();
    for (int n = 0; n < kMaxPlayers; ++n) {
        CSimPlayer p;
        p.m_strName = "Soldier " + std::to_string(n);
        p.m_nTeam = 1 + n % 2;
        p.m_strKeyHash = std::string(32, 'f');
        state.m_vPlayers.push_back(p);
    }
    return state;
}

bool Complete(const std::string& strReply) {
    const size_t nAt = strReply.find("\\final\\\\queryid\\");
    return nAt != std::string::npos && nAt > 0;
}

}  // namespace

TEST(SimResponder, AnswersTheFourRequestFormsAndIgnoresEverythingElse) {
    struct Row {
        const char* pszName;
        std::string strDatagram;
        RequestKind kind;
    };
    const Row rows[] = {
        {"status with 0xFF", "\xff\\status\\"s, RequestKind::Status},
        {"bare status", "\\status\\"s, RequestKind::Status},
        {"info with 0xFF", "\xff\\info\\"s, RequestKind::Info},
        {"bare info", "\\info\\"s, RequestKind::Info},
        {"empty", ""s, RequestKind::None},
        {"0xFF alone", "\xff"s, RequestKind::None},
        {"status without its closing backslash", "\xff\\status"s, RequestKind::None},
        {"status with a trailing NUL", "\xff\\status\\\0"s, RequestKind::None},
        {"status twice", "\\status\\\\status\\"s, RequestKind::None},
        {"upper case", "\\STATUS\\"s, RequestKind::None},
        {"other query", "\\players\\"s, RequestKind::None},
        {"two 0xFF bytes", "\xff\xff\\status\\"s, RequestKind::None},
        {"source-engine probe", "\xff\xff\xff\xffTSource Engine Query\0"s, RequestKind::None},
    };
    CSimResponder responder;
    int nAnswered = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pszName);
        EXPECT_EQ(ClassifyRequest(row.strDatagram), row.kind);
        const std::string strReply = Joined(responder.HandleDatagram(row.strDatagram));
        EXPECT_EQ(Complete(strReply), row.kind != RequestKind::None);
        // Only the status reply carries the full rule set.
        if (row.kind != RequestKind::None) {
            EXPECT_EQ(strReply.find("\\Time Limit\\") != std::string::npos,
                      row.kind == RequestKind::Status);
        }
        nAnswered += row.kind != RequestKind::None;
    }
    EXPECT_EQ(responder.StatusRequests(), 2);
    EXPECT_EQ(responder.InfoRequests(), 2);
    EXPECT_EQ(responder.IgnoredDatagrams(), static_cast<int>(std::size(rows)) - nAnswered);
}

TEST(SimResponder, QueryIdsCountUpAcrossReplies) {
    CSimResponder responder;
    const auto vFirst = responder.HandleDatagram("\xff\\status\\");
    const auto vSecond = responder.HandleDatagram("\xff\\info\\");
    EXPECT_EQ(Find(ReadPairs(Joined(vFirst)), "queryid"), "1.1");
    EXPECT_EQ(Find(ReadPairs(Joined(vSecond)), "queryid"), "2.1");
}

TEST(SimResponder, FallsSilentForTheGivenNumberOfRequests) {
    CSimResponder responder;
    responder.FallSilent(3);
    for (int n = 0; n < 3; ++n)
        EXPECT_TRUE(responder.HandleDatagram("\xff\\status\\").empty()) << n;
    EXPECT_FALSE(responder.HandleDatagram("\xff\\info\\").empty());
    EXPECT_EQ(responder.SilencedRequests(), 3);

    responder.SetSilentAfter(2, 1);
    EXPECT_FALSE(responder.HandleDatagram("\xff\\status\\").empty());
    EXPECT_FALSE(responder.HandleDatagram("\xff\\status\\").empty());
    EXPECT_TRUE(responder.HandleDatagram("\xff\\status\\").empty());
    EXPECT_FALSE(responder.HandleDatagram("\xff\\status\\").empty());
    EXPECT_FALSE(responder.HandleDatagram("\xff\\status\\").empty());

    responder.SetSilentAfter(0, -1);  // from now on, for ever
    for (int n = 0; n < 50; ++n) EXPECT_TRUE(responder.HandleDatagram("\\status\\").empty()) << n;
    responder.FallSilent(0);
    EXPECT_FALSE(responder.HandleDatagram("\\status\\").empty());
}

TEST(SimResponder, OversizedFaultSendsOneDatagramAbove1400) {
    CSimResponder responder;
    responder.SetOversized(true);
    for (const char* pszRequest : {"\xff\\status\\", "\xff\\info\\"}) {
        const auto vReply = responder.HandleDatagram(pszRequest);
        ASSERT_EQ(vReply.size(), 1u);
        EXPECT_GT(vReply[0].size(), kMaxDatagram);
        EXPECT_TRUE(Complete(vReply[0]));
    }
    responder.SetOversized(false);
    for (const auto& str : responder.HandleDatagram("\xff\\status\\"))
        EXPECT_LE(str.size(), kMaxDatagram);
}

TEST(SimResponder, OutOfOrderFaultSendsTheClosingDatagramFirst) {
    struct Row {
        const char* pszName;
        CSimState state;
    };
    const Row rows[] = {{"a reply that fits one datagram", DefaultSimState()},
                        {"a full server", FullServer()}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pszName);
        CSimResponder responder;
        responder.SetState(row.state);
        const auto vInOrder = responder.HandleDatagram("\xff\\status\\");
        responder.SetOutOfOrder(true);
        const auto vShuffled = responder.HandleDatagram("\xff\\status\\");
        ASSERT_GE(vShuffled.size(), 2u);
        EXPECT_TRUE(Complete(vShuffled.front()));
        EXPECT_TRUE(vShuffled.front().ends_with("." + std::to_string(vShuffled.size())));
        // Put back in order, it is the whole reply.
        std::string strRestored;
        for (size_t n = 1; n < vShuffled.size(); ++n) strRestored += vShuffled[n];
        strRestored += vShuffled.front();
        auto vPairs = ReadPairs(strRestored);
        std::erase_if(vPairs, [](const auto& kv) { return kv.first == "queryid"; });
        auto vExpected = ReadPairs(Joined(vInOrder));
        std::erase_if(vExpected, [](const auto& kv) { return kv.first == "queryid"; });
        EXPECT_EQ(vPairs, vExpected);
    }
}

TEST(SimResponder, AnyDatagramIsHandledWithoutHarm) {
    // Random and near-miss datagrams, bounded: none may crash or be answered,
    // except the exact requests.
    CSimResponder responder;
    responder.StartLive(7, 64, true);
    CSimRandom random(99);
    const std::string vSeeds[] = {"\xff\\status\\"s, "\\info\\"s, ""s, "\\"s};
    int nAnswers = 0;
    for (int n = 0; n < 3000; ++n) {
        std::string str = vSeeds[random.Range(0, 3)];
        const int nEdits = random.Range(0, 3);
        for (int e = 0; e < nEdits; ++e) {
            const char c = static_cast<char>(random.Range(0, 255));
            if (str.empty() || random.Chance(1, 2))
                str.insert(str.begin() + random.Range(0, static_cast<int>(str.size())), c);
            else
                str[random.Range(0, static_cast<int>(str.size()) - 1)] = c;
        }
        if (random.Chance(1, 50)) str.append(static_cast<size_t>(random.Range(1, 70000)), '\\');
        const auto vReply = responder.HandleDatagram(str);
        EXPECT_EQ(vReply.empty(), ClassifyRequest(str) == RequestKind::None);
        nAnswers += !vReply.empty();
    }
    EXPECT_EQ(responder.StatusRequests() + responder.InfoRequests(), nAnswers);
    EXPECT_EQ(responder.IgnoredDatagrams(), 3000 - nAnswers);
}

TEST(SimCommandLine, ReadsOptionsAndRejectsBadOnes) {
    struct Row {
        const char* pszName;
        std::vector<std::string> vArgs;
        CommandLineResult result;
        const char* pszError;  // part of the message on Error
    };
    const Row rows[] = {
        {"defaults", {}, CommandLineResult::Run, ""},
        {"help", {"--port", "1", "--help"}, CommandLineResult::Help, ""},
        {"all options",
         {"--port", "0", "--seed", "18446744073709551615", "--players", "64", "--tick-ms", "0",
          "--silent-after", "5", "--silent-for", "3", "--oversized", "--out-of-order",
          "--key-style", "v1.61"},
         CommandLineResult::Run,
         ""},
        {"port too large", {"--port", "65536"}, CommandLineResult::Error, "'65536' for --port"},
        {"players above 64", {"--players", "65"}, CommandLineResult::Error, "--players"},
        {"players zero", {"--players", "0"}, CommandLineResult::Error, "--players"},
        {"seed not a number", {"--seed", "x1"}, CommandLineResult::Error, "--seed"},
        {"missing value", {"--port"}, CommandLineResult::Error, "--port needs a value"},
        {"unknown option",
         {"--bogus", "1"},
         CommandLineResult::Error,
         "unknown argument '--bogus'"},
        {"stray word", {"23000"}, CommandLineResult::Error, "unknown argument '23000'"},
        {"scenario and seed",
         {"--scenario", "f", "--seed", "2"},
         CommandLineResult::Error,
         "exclude"},
        {"silence length alone",
         {"--silent-for", "2"},
         CommandLineResult::Error,
         "needs --silent-after"},
        {"unknown key style", {"--key-style", "v2"}, CommandLineResult::Error, "--key-style"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pszName);
        CSimOptions options;
        std::string strError;
        EXPECT_EQ(ParseSimCommandLine(row.vArgs, &options, &strError), row.result);
        if (row.result == CommandLineResult::Error) {
            EXPECT_NE(strError.find(row.pszError), std::string::npos) << strError;
        }
    }
    CSimOptions options;
    std::string strError;
    ASSERT_EQ(ParseSimCommandLine(rows[2].vArgs, &options, &strError), CommandLineResult::Run);
    EXPECT_EQ(options.m_nPort, 0);
    EXPECT_EQ(options.m_nSeed, UINT64_MAX);
    EXPECT_EQ(options.m_nPlayers, 64);
    EXPECT_EQ(options.m_nTickMs, 0);
    EXPECT_EQ(options.m_nSilentAfter, 5);
    EXPECT_EQ(options.m_nSilentFor, 3);
    EXPECT_TRUE(options.m_bOversized && options.m_bOutOfOrder);
    EXPECT_EQ(options.m_style, KeyStyle::V161);
}
