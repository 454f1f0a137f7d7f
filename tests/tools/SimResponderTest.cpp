#include "tools/bf42sim/SimResponder.h"

#include <gtest/gtest.h>

#include "tests/tools/SimTestSupport.h"
#include "tools/bf42sim/SimCommandLine.h"
#include "tools/bf42sim/SimRandom.h"

using namespace bf42sim;
using namespace std::string_literals;
using simtest::Joined;

namespace {

bool Complete(const std::string& str) {
    const size_t nAt = str.find("\\final\\\\queryid\\");
    return nAt != std::string::npos && nAt > 0;
}

}  // namespace

TEST(SimResponder, AnswersTheFourRequestFormsAndIgnoresEverythingElse) {
    struct Row {
        std::string m_strDatagram;
        ERequestKind m_kind;
    };
    const Row rows[] = {
        {"\xff\\status\\"s, ERequestKind::Status},
        {"\\status\\"s, ERequestKind::Status},
        {"\xff\\info\\"s, ERequestKind::Info},
        {"\\info\\"s, ERequestKind::Info},
        {""s, ERequestKind::None},
        {"\xff"s, ERequestKind::None},
        {"\xff\\status"s, ERequestKind::None},
        {"\xff\\status\\\0"s, ERequestKind::None},
        {"\\STATUS\\"s, ERequestKind::None},
        {"\\players\\"s, ERequestKind::None},
        {"\xff\xff\\status\\"s, ERequestKind::None},
    };
    CSimResponder responder;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_strDatagram);
        EXPECT_EQ(ClassifyRequest(row.m_strDatagram), row.m_kind);
        const std::string strReply = Joined(responder.HandleDatagram(row.m_strDatagram));
        EXPECT_EQ(Complete(strReply), row.m_kind != ERequestKind::None);
        // Only the status reply carries the full rule set.
        EXPECT_EQ(strReply.find("\\Time Limit\\") != std::string::npos,
                  row.m_kind == ERequestKind::Status);
    }
    EXPECT_EQ(responder.StatusRequests(), 2);
    EXPECT_EQ(responder.InfoRequests(), 2);
    EXPECT_EQ(responder.IgnoredDatagrams(), 7);
}

TEST(SimResponder, FallsSilentForTheGivenNumberOfRequests) {
    CSimResponder responder;
    auto answered = [&] { return !responder.HandleDatagram("\xff\\status\\").empty(); };
    responder.FallSilent(3);
    for (int n = 0; n < 3; ++n) EXPECT_FALSE(answered()) << n;
    EXPECT_TRUE(answered());

    responder.SetSilentAfter(2, 1);
    const bool vExpected[] = {true, true, false, true, true};
    for (bool bExpected : vExpected) EXPECT_EQ(answered(), bExpected);

    responder.SetSilentAfter(0, -1);  // for ever
    for (int n = 0; n < 50; ++n) EXPECT_FALSE(answered()) << n;
    responder.FallSilent(0);
    EXPECT_TRUE(answered());
    EXPECT_EQ(responder.SilencedRequests(), 54);
}

TEST(SimResponder, OversizedAndOutOfOrderFaultsReshapeTheReply) {
    CSimResponder responder;
    const auto vInOrder = responder.HandleDatagram("\xff\\status\\");
    ASSERT_EQ(vInOrder.size(), 1u);

    responder.SetOversized(true);
    const auto vBig = responder.HandleDatagram("\\info\\");
    ASSERT_EQ(vBig.size(), 1u);
    EXPECT_GT(vBig[0].size(), kMaxDatagram);
    EXPECT_TRUE(Complete(vBig[0]));
    responder.SetOversized(false);

    // Even a reply that fits one datagram is split, and its close comes
    // first, in either key style, with or without players (a v1.61 reply
    // splits one player's keys across datagrams of its own).
    responder.SetOutOfOrder(true);
    CSimState withAnn = DefaultSimState();
    withAnn.m_vPlayers.push_back({"Ann", 1, 0, 0, 0, 40, "k"});
    for (const EKeyStyle style : {EKeyStyle::Classic, EKeyStyle::V161}) {
        for (const CSimState& state : {DefaultSimState(), withAnn}) {
            const std::string strCase = std::string(style == EKeyStyle::V161 ? "v1.61" : "classic") +
                                        (state.m_vPlayers.empty() ? ", no players" : ", Ann");
            CSimResponder inOrder;
            inOrder.SetKeyStyle(style);
            inOrder.SetState(state);
            responder.SetKeyStyle(style);
            responder.SetState(state);
            const auto vShuffled = responder.HandleDatagram("\xff\\status\\");
            ASSERT_GE(vShuffled.size(), 2u) << strCase;
            EXPECT_TRUE(Complete(vShuffled.front())) << strCase;
            EXPECT_TRUE(vShuffled.front().ends_with("." + std::to_string(vShuffled.size())))
                << strCase;
            std::string strRestored;
            for (size_t n = 1; n < vShuffled.size(); ++n) strRestored += vShuffled[n];
            auto vPairs = simtest::ReadPairs(strRestored + vShuffled.front());
            auto vExpected =
                simtest::ReadPairs(simtest::Joined(inOrder.HandleDatagram("\xff\\status\\")));
            std::erase_if(vPairs, [](auto& kv) { return kv.first == "queryid"; });
            std::erase_if(vExpected, [](auto& kv) { return kv.first == "queryid"; });
            EXPECT_EQ(vPairs, vExpected) << strCase;
        }
    }
}

TEST(SimResponder, AnyDatagramIsHandledWithoutHarm) {
    // Bounded random and near-miss datagrams: only the exact requests are answered.
    CSimResponder responder;
    responder.StartLive(7, 64, true);
    CSimRandom random(99);
    const std::string vSeeds[] = {"\xff\\status\\"s, "\\info\\"s, ""s, "\\"s};
    int nAnswers = 0;
    for (int n = 0; n < 3000; ++n) {
        std::string str = vSeeds[random.Range(0, 3)];
        for (int e = random.Range(0, 3); e > 0; --e) {
            const char c = static_cast<char>(random.Range(0, 255));
            if (str.empty() || random.Chance(1, 2))
                str.insert(str.begin() + random.Range(0, static_cast<int>(str.size())), c);
            else
                str[random.Range(0, static_cast<int>(str.size()) - 1)] = c;
        }
        if (random.Chance(1, 50)) str.append(static_cast<size_t>(random.Range(1, 70000)), '\\');
        const auto vReply = responder.HandleDatagram(str);
        EXPECT_EQ(vReply.empty(), ClassifyRequest(str) == ERequestKind::None);
        nAnswers += !vReply.empty();
    }
    EXPECT_EQ(responder.IgnoredDatagrams(), 3000 - nAnswers);
}

TEST(SimCommandLine, ReadsOptionsAndRejectsBadOnes) {
    struct Row {
        std::vector<std::string> m_vArgs;
        ECommandLineResult m_result;
        const char* m_pszError;  // part of the message on Error
    };
    const Row rows[] = {
        {{}, ECommandLineResult::Run, ""},
        {{"--port", "1", "--help"}, ECommandLineResult::Help, ""},
        {{"--version", "--port", "x"}, ECommandLineResult::Version, ""},
        {{"--port", "65536"}, ECommandLineResult::Error, "'65536' for --port"},
        {{"--players", "65"}, ECommandLineResult::Error, "--players"},
        {{"--players", "0"}, ECommandLineResult::Error, "--players"},
        {{"--seed", "x1"}, ECommandLineResult::Error, "--seed"},
        {{"--port"}, ECommandLineResult::Error, "--port needs a value"},
        {{"23000"}, ECommandLineResult::Error, "unknown argument '23000'"},
        {{"--scenario", "f", "--seed", "2"}, ECommandLineResult::Error, "exclude"},
        {{"--silent-for", "2"}, ECommandLineResult::Error, "needs --silent-after"},
        {{"--bind", "192.0.2.1"}, ECommandLineResult::Error, "'192.0.2.1' for --bind"},
        {{"--bind", "localhost"}, ECommandLineResult::Error, "'localhost' for --bind"},
        {{"--bind", "::1:23000"}, ECommandLineResult::Error, "'::1:23000' for --bind"},
        {{"--style", "v1.6"}, ECommandLineResult::Error, "'v1.6'"},
        {{"--key-style", "v1.6"}, ECommandLineResult::Error, "'v1.6'"},
    };
    for (const Row& row : rows) {
        CSimOptions options;
        std::string strError;
        EXPECT_EQ(ParseSimCommandLine(row.m_vArgs, &options, &strError), row.m_result)
            << row.m_pszError;
        EXPECT_NE(strError.find(row.m_pszError), std::string::npos) << strError;
    }
    CSimOptions options;
    std::string strError;
    ASSERT_EQ(ParseSimCommandLine({"--port", "0", "--seed", "18446744073709551615", "--players",
                                   "64", "--tick-ms", "0", "--silent-after", "5", "--silent-for",
                                   "3", "--oversized", "--out-of-order", "--key-style", "v1.61"},
                                  &options, &strError),
              ECommandLineResult::Run)
        << strError;
    EXPECT_EQ(std::tie(options.m_nPort, options.m_nSeed, options.m_nPlayers, options.m_nTickMs,
                       options.m_nSilentAfter, options.m_nSilentFor),
              std::make_tuple(0, UINT64_MAX, 64, 0, 5, 3));
    EXPECT_TRUE(options.m_bOversized && options.m_bOutOfOrder && options.m_style == EKeyStyle::V161);
    EXPECT_EQ(options.m_bind.Text(), "127.0.0.1");
    for (const char* pszBind : {"::1", "[::1]"}) {
        ASSERT_EQ(ParseSimCommandLine({"--bind", pszBind}, &options, &strError),
                  ECommandLineResult::Run)
            << strError;
        EXPECT_EQ(options.m_bind.Text(), "::1") << pszBind;
    }
    // --key-style is the option's old name.
    for (const char* pszOption : {"--style", "--key-style"}) {
        for (const auto& [pszValue, style] :
             {std::pair{"v1.61", EKeyStyle::V161}, std::pair{"classic", EKeyStyle::Classic}}) {
            ASSERT_EQ(ParseSimCommandLine({pszOption, pszValue}, &options, &strError),
                      ECommandLineResult::Run)
                << strError;
            EXPECT_EQ(options.m_style, style) << pszOption << " " << pszValue;
        }
    }
    EXPECT_NE(SimUsage().find("--style S"), std::string::npos);
}
