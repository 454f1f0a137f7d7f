// Capability negotiation and SASL as pure functions: server lines and time
// in, lines to send, log lines and a result out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "irc/Capabilities.h"
#include "irc/Sasl.h"

using namespace irc;

namespace {

using Lines = std::vector<std::string>;

TEST(CapReply, SubcommandContinuationAndList) {
    struct Row {
        const char* m_pszName;
        std::string m_strLine;
        bool m_bCap;
        std::string m_strSub;
        bool m_bMore;
        std::string m_strList;
    };
    const Row rows[] = {
        {"LS continued", ":srv CAP * LS * :a b", true, "LS", true, "a b"},
        {"LS last line", ":srv CAP * LS :sasl=PLAIN,EXTERNAL ", true, "LS", false,
         "sasl=PLAIN,EXTERNAL "},
        {"ACK with nick", ":srv CAP bot ACK :sasl", true, "ACK", false, "sasl"},
        {"ACK without colon", "CAP * ACK sasl", true, "ACK", false, "sasl"},
        {"lower-case command", ":srv cap * nak :sasl", true, "NAK", false, "sasl"},
        {"a lone star is the list", ":srv CAP * LS :*", true, "LS", false, "*"},
        {"too short", ":srv CAP *", false, "", false, ""},
        {"another command", ":srv NOTICE * :CAP * LS :x", false, "", false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        CCapReply reply;
        ASSERT_EQ(ParseCapReply(row.m_strLine, &reply), row.m_bCap);
        if (!row.m_bCap) continue;
        EXPECT_EQ(reply.m_strSubcommand, row.m_strSub);
        EXPECT_EQ(reply.m_bMore, row.m_bMore);
        EXPECT_EQ(reply.m_strList, row.m_strList);
    }
}

TEST(CapOffer, GathersAnLsReplyOverItsLinesWithinBounds) {
    CCapOffer offer;
    CCapReply reply;
    ASSERT_TRUE(ParseCapReply(":srv CAP * LS * :multi-prefix  away-notify", &reply));
    EXPECT_EQ(offer.Add(reply), CCapOffer::EAdd::More);
    ASSERT_TRUE(ParseCapReply(":srv CAP * LS :sasl=PLAIN,EXTERNAL draft/x=a=b", &reply));
    EXPECT_EQ(offer.Add(reply), CCapOffer::EAdd::Complete);
    EXPECT_EQ(offer.Caps(), (std::vector<CCapability>{{"multi-prefix", ""},
                                                      {"away-notify", ""},
                                                      {"sasl", "PLAIN,EXTERNAL"},
                                                      {"draft/x", "a=b"}}));
    EXPECT_TRUE(offer.Offers("sasl"));
    EXPECT_FALSE(offer.Offers("SASL"));  // names are case-sensitive
    EXPECT_EQ(offer.ValueOf("sasl"), "PLAIN,EXTERNAL");
    EXPECT_EQ(SplitCapValue(offer.ValueOf("sasl")), (Lines{"PLAIN", "EXTERNAL"}));
    EXPECT_EQ(SplitCapValue(",PLAIN,,"), (Lines{"PLAIN"}));

    // A server that continues for ever is cut off, and what is kept stays small.
    CCapOffer endless;
    ASSERT_TRUE(
        ParseCapReply(":srv CAP * LS * :" + std::string(400, 'x') + " a b c d e f", &reply));
    CCapOffer::EAdd eAdd = CCapOffer::EAdd::More;
    int nLines = 0;
    while (eAdd == CCapOffer::EAdd::More && nLines < 10000) {
        eAdd = endless.Add(reply);
        ++nLines;
    }
    EXPECT_EQ(eAdd, CCapOffer::EAdd::TooLong);
    EXPECT_LE(static_cast<size_t>(nLines), CCapOffer::kMaxLines + 1);
    EXPECT_LE(endless.Caps().size(), CCapOffer::kMaxCaps);
}

TEST(Base64, EncodesAndDecodesTheStandardVectors) {
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("acc\0acc\0pw", 10), "YWNjAGFjYwBwdw=="},
        {"\xff\xfe\x80", "//6A"},
    };
    for (const auto& [strPlain, strCoded] : vectors) {
        SCOPED_TRACE(strCoded);
        EXPECT_EQ(Base64Encode(strPlain), strCoded);
        std::string strBack;
        ASSERT_TRUE(Base64Decode(strCoded, &strBack));
        EXPECT_EQ(strBack, strPlain);
    }
    std::string strOut;
    for (const char* pszBad :
         {"Zg=", "Zg=a", "Z===", "Zm9v!A==", "=Zm9", "Zg==Zg==", "Zh==", "Zm9="})
        EXPECT_FALSE(Base64Decode(pszBad, &strOut)) << pszBad;
}

TEST(Authenticate, ResponsesGoInChunksOf400WithThePlusRules) {
    struct Row {
        const char* m_pszName;
        size_t m_nResponseBytes;        // base64 takes 4 bytes for each 3
        std::vector<size_t> m_vChunks;  // 0 stands for "+"
    };
    const Row rows[] = {
        {"empty", 0, {0}},
        {"short", 10, {16}},
        {"exactly 400", 300, {400, 0}},
        {"one over", 301, {400, 4}},
        {"two full", 600, {400, 400, 0}},
        {"two and a bit", 700, {400, 400, 136}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        const std::string strResponse(row.m_nResponseBytes, 'a');
        const Lines vLines = AuthenticateLines(strResponse);
        ASSERT_EQ(vLines.size(), row.m_vChunks.size());
        std::string strJoined;
        for (size_t i = 0; i < vLines.size(); ++i) {
            ASSERT_EQ(vLines[i].rfind("AUTHENTICATE ", 0), 0u);
            const std::string strArg = vLines[i].substr(13);
            if (row.m_vChunks[i] == 0) {
                EXPECT_EQ(strArg, "+");
            } else {
                EXPECT_EQ(strArg.size(), row.m_vChunks[i]);
                strJoined += strArg;
            }
        }
        std::string strBack;
        ASSERT_TRUE(Base64Decode(strJoined, &strBack));
        EXPECT_EQ(strBack, strResponse);
    }
    EXPECT_EQ(PlainResponse("acc", "pw"), std::string("acc\0acc\0pw", 10));
}

// Drives a negotiation through a transcript and keeps what it asked for.
class SaslRun {
public:
    explicit SaslRun(CSaslConfig config) : m_sasl(std::move(config)) {}

    void Take(const CSaslStep& step) {
        for (const std::string& str : step.m_vSend) m_vSent.push_back(str);
        for (const std::string& str : step.m_vLog) m_vLog.push_back(str);
        m_bEnd = m_bEnd || step.m_bEndConnection;
    }
    Lines Start(uint32_t nNow = 0) {
        const size_t nBefore = m_vSent.size();
        Take(m_sasl.Start(nNow));
        return Lines(m_vSent.begin() + static_cast<long>(nBefore), m_vSent.end());
    }
    // The lines sent in answer to this server line.
    Lines Server(const std::string& strLine, uint32_t nNow = 0) {
        const size_t nBefore = m_vSent.size();
        const CSaslStep step = m_sasl.OnLine(strLine, nNow);
        m_bLastConsumed = step.m_bConsumed;
        Take(step);
        return Lines(m_vSent.begin() + static_cast<long>(nBefore), m_vSent.end());
    }
    Lines Time(uint32_t nNow) {
        const size_t nBefore = m_vSent.size();
        Take(m_sasl.OnTime(nNow));
        return Lines(m_vSent.begin() + static_cast<long>(nBefore), m_vSent.end());
    }

    CSaslNegotiation m_sasl;
    Lines m_vSent;
    Lines m_vLog;
    bool m_bEnd = false;
    bool m_bLastConsumed = false;
};

CSaslConfig Plain(bool bWithout = false) {
    CSaslConfig config;
    config.m_eMechanism = ESaslMechanism::Plain;
    config.m_strAccount = "fragbot";
    config.m_strPassword = "hunter2";
    config.m_bRegisterWithoutSasl = bWithout;
    return config;
}

TEST(SaslNegotiation, PlainLoginLineByLine) {
    SaslRun run(Plain());
    EXPECT_EQ(run.Start(), (Lines{"CAP LS 302"}));
    EXPECT_EQ(run.m_sasl.State(), ESaslState::WaitingForCaps);
    // Lines that are not the negotiation's go on to the dispatch.
    EXPECT_EQ(run.Server(":srv NOTICE * :*** Looking up your hostname"), Lines{});
    EXPECT_FALSE(run.m_bLastConsumed);
    EXPECT_EQ(run.Server(":srv CAP * LS * :multi-prefix"), Lines{});
    EXPECT_TRUE(run.m_bLastConsumed);
    EXPECT_EQ(run.Server(":srv CAP * LS :sasl=PLAIN,EXTERNAL inspircd.org/poison "),
              (Lines{"CAP REQ :sasl"}));
    EXPECT_EQ(run.Server("PING :12345"), Lines{});
    EXPECT_FALSE(run.m_bLastConsumed);
    EXPECT_EQ(run.Server(":srv CAP fragbot ACK :sasl"), (Lines{"AUTHENTICATE PLAIN"}));
    EXPECT_EQ(
        run.Server("AUTHENTICATE :+"),
        (Lines{"AUTHENTICATE " + Base64Encode(std::string("fragbot\0fragbot\0hunter2", 23))}));
    EXPECT_EQ(run.m_sasl.State(), ESaslState::WaitingForResult);
    EXPECT_EQ(run.Server(":srv 900 fragbot fragbot!u@h fragbot :You are now logged in as fragbot"),
              Lines{});
    EXPECT_EQ(run.Server(":srv 903 fragbot :SASL authentication successful"), (Lines{"CAP END"}));
    EXPECT_EQ(run.m_sasl.State(), ESaslState::LoggedIn);
    EXPECT_EQ(run.m_sasl.Account(), "fragbot");
    EXPECT_EQ(run.m_vLog, (Lines{"SASL: logged in as fragbot"}));
    EXPECT_FALSE(run.m_bEnd);
    // Afterwards only CAP lines are its own; the welcome goes to the dispatch.
    EXPECT_EQ(run.Server(":srv 001 fragbot :Welcome"), Lines{});
    EXPECT_FALSE(run.m_bLastConsumed);
    EXPECT_EQ(run.Time(120000), Lines{});  // no time-out once done
}

TEST(SaslNegotiation, ExternalAndOldStyleSaslWithoutValue) {
    CSaslConfig config;
    config.m_eMechanism = ESaslMechanism::External;
    SaslRun run(config);
    run.Start();
    EXPECT_EQ(run.Server(":srv CAP * LS :sasl"), (Lines{"CAP REQ :sasl"}));
    EXPECT_EQ(run.Server(":srv CAP * ACK :multi-prefix"), Lines{});  // another capability
    EXPECT_EQ(run.Server(":srv CAP * ACK :sasl"), (Lines{"AUTHENTICATE EXTERNAL"}));
    EXPECT_EQ(run.Server("AUTHENTICATE +"), (Lines{"AUTHENTICATE +"}));
    EXPECT_EQ(run.Server(":srv 903 * :SASL authentication successful"), (Lines{"CAP END"}));
    EXPECT_EQ(run.m_vLog, (Lines{"SASL: logged in"}));
}

TEST(SaslNegotiation, ChallengeInChunksAndAnOversizedOne) {
    SaslRun run(Plain());
    run.Start();
    run.Server(":srv CAP * LS :sasl");
    run.Server(":srv CAP * ACK :sasl");
    // A 400-byte chunk says that more follows; the answer waits for the end.
    EXPECT_EQ(run.Server("AUTHENTICATE " + std::string(400, 'A')), Lines{});
    EXPECT_EQ(
        run.Server("AUTHENTICATE +"),
        (Lines{"AUTHENTICATE " + Base64Encode(std::string("fragbot\0fragbot\0hunter2", 23))}));

    SaslRun flood(Plain());
    flood.Start();
    flood.Server(":srv CAP * LS :sasl");
    flood.Server(":srv CAP * ACK :sasl");
    Lines vLast;
    int nLines = 0;
    for (; nLines < 1000 && flood.m_sasl.State() == ESaslState::WaitingForChallenge; ++nLines)
        vLast = flood.Server("AUTHENTICATE " + std::string(400, 'A'));
    EXPECT_LE(static_cast<size_t>(nLines) * 400, CSaslNegotiation::kMaxChallenge + 400);
    EXPECT_EQ(flood.m_sasl.Failure(), ESaslFailure::ChallengeTooLong);
    EXPECT_EQ(vLast, (Lines{"AUTHENTICATE *"}));
    EXPECT_TRUE(flood.m_bEnd);
}

TEST(SaslNegotiation, EveryFailureEndsWithItsOwnLogLine) {
    struct Row {
        const char* m_pszName;
        Lines m_vServer;  // after Start
        ESaslFailure m_eFailure;
        std::string m_strInLog;
    };
    const std::string strLs = ":srv CAP * LS :sasl=PLAIN,EXTERNAL";
    const std::string strAck = ":srv CAP * ACK :sasl";
    const Row rows[] = {
        {"421 for CAP", {":srv 421 * CAP :Unknown command"}, ESaslFailure::NoCapSupport, "421"},
        {"registered without a CAP answer",
         {":srv 001 fragbot :Welcome"},
         ESaslFailure::NoCapAnswer,
         "without answering CAP"},
        {"no sasl offered",
         {":srv CAP * LS :multi-prefix away-notify"},
         ESaslFailure::NotOffered,
         "does not offer SASL"},
        {"mechanism not offered",
         {":srv CAP * LS :sasl=EXTERNAL,SCRAM-SHA-256"},
         ESaslFailure::MechanismNotOffered,
         "EXTERNAL,SCRAM-SHA-256"},
        {"CAP NAK", {strLs, ":srv CAP * NAK :sasl"}, ESaslFailure::CapRefused, "NAK"},
        {"902",
         {strLs, strAck, ":srv 902 * :You must use a nick assigned to you"},
         ESaslFailure::NickLocked,
         "902"},
        {"904 with mechanisms",
         {strLs, strAck, "AUTHENTICATE +",
          ":srv 908 * PLAIN,EXTERNAL :are available SASL mechanisms",
          ":srv 904 * :SASL authentication failed"},
         ESaslFailure::Rejected,
         "the server takes PLAIN,EXTERNAL"},
        {"905",
         {strLs, strAck, "AUTHENTICATE +", ":srv 905 * :SASL message too long"},
         ESaslFailure::TooLong,
         "905"},
        {"906",
         {strLs, strAck, ":srv 906 * :SASL authentication aborted"},
         ESaslFailure::Aborted,
         "906"},
        {"907",
         {strLs, strAck, "AUTHENTICATE +", ":srv 907 * :You have already authenticated"},
         ESaslFailure::AlreadyAuthenticated,
         "907"},
    };
    for (const Row& row : rows) {
        for (bool bWithout : {false, true}) {
            SCOPED_TRACE(std::string(row.m_pszName) + (bWithout ? ", may go on" : ", must end"));
            SaslRun run(Plain(bWithout));
            run.Start();
            Lines vLast;
            for (const std::string& strLine : row.m_vServer) vLast = run.Server(strLine);
            EXPECT_EQ(run.m_sasl.State(), ESaslState::Failed);
            EXPECT_EQ(run.m_sasl.Failure(), row.m_eFailure);
            ASSERT_EQ(run.m_vLog.size(), 1u);
            EXPECT_NE(run.m_vLog[0].find("SASL failed: "), std::string::npos);
            EXPECT_NE(run.m_vLog[0].find(row.m_strInLog), std::string::npos) << run.m_vLog[0];
            EXPECT_EQ(run.m_bEnd, !bWithout);
            // Going on without SASL ends the negotiation, unless the server
            // knows no CAP or registered the bot already.
            const bool bCapEnd = bWithout && row.m_eFailure != ESaslFailure::NoCapSupport &&
                                 row.m_eFailure != ESaslFailure::NoCapAnswer;
            EXPECT_EQ(vLast, bCapEnd ? Lines{"CAP END"} : Lines{});
            EXPECT_NE(
                run.m_vLog[0].find(bWithout ? "registering without SASL" : "ending the connection"),
                std::string::npos);
        }
    }
}

TEST(SaslNegotiation, EachAwaitedAnswerHas30Seconds) {
    struct Row {
        const char* m_pszName;
        Lines m_vServer;
        std::string m_strWhat;
        Lines m_vSentAtTimeOut;
        bool m_bFromStart;  // the awaited answer was asked for at Start
    };
    const Row rows[] = {
        {"no CAP answer", {}, "CAP LS", {}, true},
        // More lines of the same reply do not buy more time.
        {"CAP LS never finished", {":srv CAP * LS * :multi-prefix"}, "CAP LS", {}, true},
        {"no ACK", {":srv CAP * LS :sasl"}, "CAP REQ", {}, false},
        {"no AUTHENTICATE +",
         {":srv CAP * LS :sasl", ":srv CAP * ACK :sasl"},
         "AUTHENTICATE",
         {"AUTHENTICATE *"},
         false},
        {"no result",
         {":srv CAP * LS :sasl", ":srv CAP * ACK :sasl", "AUTHENTICATE +"},
         "AUTHENTICATE",
         {"AUTHENTICATE *"},
         false},
    };
    // Near the tick count's wrap, so the arithmetic has to survive it.
    const uint32_t nStart = 0xFFFFFFFFu - 10000;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        SaslRun run(Plain());
        run.Start(nStart - 5000);
        // Each step has its own time, counted from when it was asked for.
        for (const std::string& strLine : row.m_vServer) run.Server(strLine, nStart);
        const uint32_t nAsked = row.m_bFromStart ? nStart - 5000 : nStart;
        EXPECT_EQ(run.Time(nAsked + CSaslNegotiation::kAnswerTimeoutMs - 1), Lines{});
        EXPECT_TRUE(run.m_sasl.Waiting());
        EXPECT_EQ(run.Time(nAsked + CSaslNegotiation::kAnswerTimeoutMs), row.m_vSentAtTimeOut);
        EXPECT_EQ(run.m_sasl.Failure(), ESaslFailure::TimedOut);
        ASSERT_EQ(run.m_vLog.size(), 1u);
        EXPECT_NE(run.m_vLog[0].find("no answer to " + row.m_strWhat), std::string::npos)
            << run.m_vLog[0];
        EXPECT_TRUE(run.m_bEnd);
    }
}

TEST(SaslNegotiation, EndlessCapLinesAreCutOff) {
    SaslRun run(Plain());
    run.Start();
    int nLines = 0;
    for (; nLines < 100000 && run.m_sasl.Waiting(); ++nLines)
        run.Server(":srv CAP * LS * :cap" + std::to_string(nLines) + " " + std::string(200, 'y'));
    EXPECT_LE(static_cast<size_t>(nLines), CCapOffer::kMaxLines + 1);
    EXPECT_EQ(run.m_sasl.Failure(), ESaslFailure::CapListTooLong);
    EXPECT_LE(run.m_sasl.Offer().Caps().size(), CCapOffer::kMaxCaps);
}

TEST(SaslNegotiation, ThePasswordIsInNoLogLine) {
    // Every path that logs: success, each failure, a time-out.
    const Lines vEndings[] = {
        {":srv 903 * :ok"},
        {":srv 904 * :failed"},
        {":srv 906 * :aborted"},
    };
    for (const Lines& vEnding : vEndings) {
        SaslRun run(Plain());
        run.Start();
        run.Server(":srv CAP * LS :sasl");
        run.Server(":srv CAP * ACK :sasl");
        run.Server("AUTHENTICATE +");
        for (const std::string& str : vEnding) run.Server(str);
        run.Time(60000);
        ASSERT_FALSE(run.m_vLog.empty());
        const std::string strPayload = run.m_vSent[3];  // AUTHENTICATE <base64>
        for (const std::string& strLog : run.m_vLog) {
            EXPECT_EQ(strLog.find("hunter2"), std::string::npos) << strLog;
            EXPECT_EQ(strLog.find(strPayload.substr(13)), std::string::npos) << strLog;
        }
    }
}

}  // namespace
