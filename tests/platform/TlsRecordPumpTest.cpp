// The record pump behind the SChannel stream, fed through its codec seam:
// a toy record format stands in for TLS, so that the same byte stream can
// be cut anywhere and the pump must make the same plain bytes of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/TlsRecordPump.h"

using namespace platform;

namespace {

// Toy records: a type byte, two bytes of length (big end first), the body.
//   'D' data, its body XORed with 0x5A; decrypted in place
//   'T' a ticket: taken by the decrypt step, which then asks for the
//       handshake step (as TLS 1.3 tickets do)
//   'K' a key update: the decrypt step leaves it whole for the handshake
//       step, which answers "ack" to the server
//   'C' close_notify
//   'X' a record that does not decrypt
std::string Record(char chType, std::string strBody) {
    if (chType == 'D')
        for (char& ch : strBody) ch = static_cast<char>(ch ^ 0x5A);
    std::string str(1, chType);
    str += static_cast<char>((strBody.size() >> 8) & 0xFF);
    str += static_cast<char>(strBody.size() & 0xFF);
    return str + strBody;
}

class CToyCodec : public ITlsRecordCodec {
public:
    explicit CToyCodec(bool bSaysMissing = true) : m_bSaysMissing(bSaysMissing) {}

    CTlsCodecResult Decrypt(char* pData, size_t nLen) override {
        ++m_nDecrypts;
        CTlsCodecResult result;
        size_t nRecord = 0;
        if (!Whole(pData, nLen, &nRecord, &result)) return result;
        char* pBody = pData + 3;
        const size_t nBody = nRecord - 3;
        switch (pData[0]) {
            case 'D':
                for (size_t i = 0; i < nBody; ++i) pBody[i] = static_cast<char>(pBody[i] ^ 0x5A);
                result.m_eStatus = ETlsCodecStatus::Ok;
                result.Add(ETlsPieceKind::Data, nBody, pBody);
                break;
            case 'T':
                result.m_eStatus = ETlsCodecStatus::Renegotiate;
                break;
            case 'K':
                // Left whole for the handshake step.
                result.m_eStatus = ETlsCodecStatus::Renegotiate;
                result.Add(ETlsPieceKind::Extra, nLen);
                return result;
            case 'C':
                result.m_eStatus = ETlsCodecStatus::Closed;
                break;
            default:
                result.m_eStatus = ETlsCodecStatus::Failed;
                result.m_strDetail = "bad record MAC";
                return result;
        }
        if (nLen > nRecord) result.Add(ETlsPieceKind::Extra, nLen - nRecord);
        return result;
    }

    CTlsCodecResult AfterHandshake(char* pData, size_t nLen) override {
        ++m_nHandshakeSteps;
        CTlsCodecResult result;
        if (nLen == 0 || pData[0] != 'K') {  // the ticket was taken in already
            result.m_eStatus = ETlsCodecStatus::Ok;
            if (nLen > 0) result.Add(ETlsPieceKind::Extra, nLen);
            return result;
        }
        size_t nRecord = 0;
        if (!Whole(pData, nLen, &nRecord, &result)) return result;
        m_strOwed += "ack";
        result.m_eStatus = ETlsCodecStatus::Ok;
        if (nLen > nRecord) result.Add(ETlsPieceKind::Extra, nLen - nRecord);
        return result;
    }

    int m_nDecrypts = 0;
    int m_nHandshakeSteps = 0;
    std::string m_strOwed;

private:
    // Whether a whole record starts at pData; Incomplete in *pResult if not.
    bool Whole(const char* pData, size_t nLen, size_t* pnRecord, CTlsCodecResult* pResult) const {
        const size_t nNeed = nLen < 3 ? 3
                                      : 3 + ((static_cast<unsigned char>(pData[1]) << 8) |
                                             static_cast<unsigned char>(pData[2]));
        if (nLen >= nNeed) {
            *pnRecord = nNeed;
            return true;
        }
        pResult->m_eStatus = ETlsCodecStatus::Incomplete;
        if (m_bSaysMissing) pResult->Add(ETlsPieceKind::Missing, nNeed - nLen);
        return false;
    }
    bool m_bSaysMissing;
};

struct CRun {
    std::string m_strPlain;
    CTlsRecordPump::EState m_eLast = CTlsRecordPump::EState::NeedMore;
    std::string m_strFailure;
};

// Feeds the pieces one after another as a reader would: run, take all
// there is, receive the next piece.
CRun Pump(ITlsRecordCodec& codec, const std::vector<std::string>& vPieces,
          size_t nMaxIn = 64 * 1024) {
    CTlsRecordPump pump(nMaxIn);
    CRun run;
    auto drain = [&] {
        // Each Run either hands out bytes (taken here) or stops.
        for (int i = 0; i < 1000; ++i) {
            run.m_eLast = pump.Run(codec);
            if (run.m_eLast != CTlsRecordPump::EState::Data) return;
            char buf[7];  // small: plain bytes leave in several takes
            const size_t n = pump.Take(buf, sizeof buf);
            run.m_strPlain.append(buf, n);
        }
        ADD_FAILURE() << "the pump kept saying Data";
    };
    // Received as a socket read would: as much as there is room for.
    for (const std::string& strPiece : vPieces) {
        size_t nDone = 0;
        do {
            drain();
            if (run.m_eLast != CTlsRecordPump::EState::NeedMore) break;
            size_t nRoom = 0;
            char* p = pump.Space(&nRoom);
            const size_t n = std::min(nRoom, strPiece.size() - nDone);
            std::memcpy(p, strPiece.data() + nDone, n);
            pump.Received(n);
            nDone += n;
        } while (nDone < strPiece.size());
    }
    drain();
    run.m_strFailure = pump.Failure();
    return run;
}

const std::string kStream = Record('D', "PING :one\r\nPI") + Record('T', "ticket one") +
                            Record('T', "ticket two") + Record('D', "NG :two\r\n") +
                            Record('K', "update requested") + Record('D', "after the update\r\n") +
                            Record('C', "") + Record('D', "never read");
const std::string kPlain = "PING :one\r\nPING :two\r\nafter the update\r\n";

TEST(TlsRecordPumpTest, TheSameBytesWhereverTheStreamIsCut) {
    for (bool bSaysMissing : {true, false}) {
        SCOPED_TRACE(bSaysMissing ? "the codec says what is missing" : "it does not");
        {
            CToyCodec codec(bSaysMissing);
            const CRun run = Pump(codec, {kStream});
            EXPECT_EQ(run.m_strPlain, kPlain);
            EXPECT_EQ(run.m_eLast, CTlsRecordPump::EState::End) << run.m_strFailure;
            EXPECT_EQ(codec.m_strOwed, "ack");  // the key update was answered, once
        }
        // One cut anywhere, and two.
        for (size_t i = 0; i <= kStream.size(); ++i) {
            for (size_t j = i; j <= kStream.size(); j += 5) {
                SCOPED_TRACE("cut at " + std::to_string(i) + " and " + std::to_string(j));
                CToyCodec codec(bSaysMissing);
                const CRun run = Pump(
                    codec, {kStream.substr(0, i), kStream.substr(i, j - i), kStream.substr(j)});
                ASSERT_EQ(run.m_strPlain, kPlain);
                ASSERT_EQ(run.m_eLast, CTlsRecordPump::EState::End) << run.m_strFailure;
                ASSERT_EQ(codec.m_strOwed, "ack");
            }
        }
        // A byte at a time.
        std::vector<std::string> vBytes;
        for (char ch : kStream) vBytes.emplace_back(1, ch);
        CToyCodec codec(bSaysMissing);
        const CRun run = Pump(codec, vBytes);
        EXPECT_EQ(run.m_strPlain, kPlain);
        EXPECT_EQ(run.m_eLast, CTlsRecordPump::EState::End) << run.m_strFailure;
        // Told what is missing, the pump asks again only once it is there:
        // a few calls per record, not one per byte.
        if (bSaysMissing) {
            EXPECT_LE(codec.m_nDecrypts, 3 * 8);
        }
    }
}

TEST(TlsRecordPumpTest, WhatComesBeforeAnEndOrAFailureIsDelivered) {
    struct Row {
        const char* m_pszName;
        std::string m_strStream;
        std::string m_strPlain;
        CTlsRecordPump::EState m_eLast;
        std::string m_strFailure;
    };
    const Row rows[] = {
        {"close_notify with data behind it", Record('D', "bye\r\n") + Record('C', "") + "junk",
         "bye\r\n", CTlsRecordPump::EState::End, ""},
        {"a record that does not decrypt", Record('D', "last\r\n") + Record('X', "?"), "last\r\n",
         CTlsRecordPump::EState::Failed, "bad record MAC"},
        {"a record longer than the pump holds",
         Record('D', "x") + Record('D', std::string(200, 'y')), "x", CTlsRecordPump::EState::Failed,
         "longer than 100 bytes"},
        {"half a record", Record('D', "whole") + Record('D', "half").substr(0, 4), "whole",
         CTlsRecordPump::EState::NeedMore, ""},
    };
    for (const Row& row : rows) {
        for (bool bSaysMissing : {true, false}) {
            SCOPED_TRACE(std::string(row.m_pszName) + (bSaysMissing ? ", missing said" : ""));
            CToyCodec codec(bSaysMissing);
            std::vector<std::string> vPieces;
            for (size_t i = 0; i < row.m_strStream.size(); i += 30)
                vPieces.push_back(row.m_strStream.substr(i, 30));
            const CRun run = Pump(codec, vPieces, 100);
            EXPECT_EQ(run.m_strPlain, row.m_strPlain);
            EXPECT_EQ(run.m_eLast, row.m_eLast);
            EXPECT_NE(run.m_strFailure.find(row.m_strFailure), std::string::npos)
                << run.m_strFailure;
        }
    }
}

// A codec that answers from a script, for what a real library should never
// do and what the toy one cannot.
class CScriptedCodec : public ITlsRecordCodec {
public:
    enum class EStep { Decrypt, Handshake };
    struct CAnswer {
        EStep m_eStep;
        ETlsCodecStatus m_eStatus;
        size_t m_nExtra;    // SIZE_MAX: none
        size_t m_nData;     // plain bytes at the start of the record
        size_t m_nMissing;  // 0: none
        const char* m_pszDetail;
    };
    explicit CScriptedCodec(std::deque<CAnswer> answers) : m_answers(std::move(answers)) {}

    CTlsCodecResult Decrypt(char* pData, size_t nLen) override {
        return Answer(EStep::Decrypt, pData, nLen);
    }
    CTlsCodecResult AfterHandshake(char* pData, size_t nLen) override {
        return Answer(EStep::Handshake, pData, nLen);
    }
    std::vector<size_t> m_vHandshakeLens;  // what each handshake step was given
    bool m_bOutOfScript = false;

private:
    CTlsCodecResult Answer(EStep eStep, char* pData, size_t nLen) {
        CTlsCodecResult result;
        if (eStep == EStep::Handshake) m_vHandshakeLens.push_back(nLen);
        if (m_answers.empty() || m_answers.front().m_eStep != eStep) {
            m_bOutOfScript = true;
            result.m_strDetail = "out of script";
            return result;
        }
        const CAnswer answer = m_answers.front();
        m_answers.pop_front();
        result.m_eStatus = answer.m_eStatus;
        if (answer.m_pszDetail != nullptr) result.m_strDetail = answer.m_pszDetail;
        if (answer.m_nData > 0) result.Add(ETlsPieceKind::Data, answer.m_nData, pData);
        if (answer.m_nExtra != SIZE_MAX) result.Add(ETlsPieceKind::Extra, answer.m_nExtra);
        if (answer.m_nMissing > 0) result.Add(ETlsPieceKind::Missing, answer.m_nMissing);
        (void)nLen;
        return result;
    }
    std::deque<CAnswer> m_answers;
};

TEST(TlsRecordPumpTest, TheHandshakeStepAfterTheHandshake) {
    using A = CScriptedCodec::CAnswer;
    using S = CScriptedCodec::EStep;
    using St = ETlsCodecStatus;
    constexpr size_t kNone = SIZE_MAX;
    {
        SCOPED_TRACE("it wants more bytes, then takes them and leaves a record");
        // 10 bytes: a 4-byte message the decrypt step leaves whole, then 6
        // bytes of which the handshake step needs 2 more.
        CScriptedCodec codec({A{S::Decrypt, St::Renegotiate, 10, 0, 0, nullptr},
                              A{S::Handshake, St::Incomplete, kNone, 0, 2, nullptr},
                              A{S::Handshake, St::Ok, 3, 0, 0, nullptr},
                              A{S::Decrypt, St::Ok, kNone, 3, 0, nullptr}});
        const CRun run = Pump(codec, {"MMMMhhhhhh", "hh"});
        EXPECT_FALSE(codec.m_bOutOfScript);
        EXPECT_EQ(codec.m_vHandshakeLens, (std::vector<size_t>{10, 12}));
        EXPECT_EQ(run.m_strPlain, "hhh");  // the 3 bytes it left, as plain text here
        EXPECT_EQ(run.m_eLast, CTlsRecordPump::EState::NeedMore) << run.m_strFailure;
    }
    {
        SCOPED_TRACE("a message with nothing after it: the step is asked with nothing");
        CScriptedCodec codec({A{S::Decrypt, St::Renegotiate, kNone, 0, 0, nullptr},
                              A{S::Handshake, St::Ok, kNone, 0, 0, nullptr}});
        const CRun run = Pump(codec, {"ticket"});
        EXPECT_FALSE(codec.m_bOutOfScript);
        EXPECT_EQ(codec.m_vHandshakeLens, (std::vector<size_t>{0}));
        EXPECT_EQ(run.m_eLast, CTlsRecordPump::EState::NeedMore) << run.m_strFailure;
    }
    {
        SCOPED_TRACE("a new handshake is refused");
        CScriptedCodec codec({A{S::Decrypt, St::Ok, 5, 3, 0, nullptr},
                              A{S::Decrypt, St::Renegotiate, kNone, 0, 0, nullptr},
                              A{S::Handshake, St::Failed, kNone, 0, 0, "no renegotiation"}});
        const CRun run = Pump(codec, {"abcdefgh"});
        EXPECT_EQ(run.m_strPlain, "abc");
        EXPECT_EQ(run.m_eLast, CTlsRecordPump::EState::Failed);
        EXPECT_EQ(run.m_strFailure, "no renegotiation");
    }
}

TEST(TlsRecordPumpTest, ACodecThatTakesNothingCannotHoldThePumpInALoop) {
    using A = CScriptedCodec::CAnswer;
    using S = CScriptedCodec::EStep;
    using St = ETlsCodecStatus;
    struct Row {
        const char* m_pszName;
        std::deque<A> m_answers;
    };
    const Row rows[] = {
        {"a record decrypted that took no bytes", {A{S::Decrypt, St::Ok, 4, 0, 0, nullptr}}},
        {"a message and its step that took none",
         {A{S::Decrypt, St::Renegotiate, 4, 0, 0, nullptr},
          A{S::Handshake, St::Ok, 4, 0, 0, nullptr}}},
        {"an extra longer than what was given", {A{S::Decrypt, St::Ok, 9, 0, 0, nullptr}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        CScriptedCodec codec(row.m_answers);
        const CRun run = Pump(codec, {"abcd"});
        EXPECT_FALSE(codec.m_bOutOfScript);
        EXPECT_EQ(run.m_eLast, CTlsRecordPump::EState::Failed);
    }
}

}  // namespace
