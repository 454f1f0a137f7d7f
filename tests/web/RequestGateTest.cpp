// The first look at a request head: only whole GET and HEAD heads within
// their limits go on to the HTTP library, and a refusal is known as early
// as the bytes allow.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/RequestGate.h"

namespace {

using web::EHeadVerdict;

struct CHeadRow {
    const char* m_pszName;
    std::string m_strBytes;
    EHeadVerdict m_eVerdict;
};

TEST(RequestGateTest, JudgesHeads) {
    const web::CHeadLimits limits{256, 64};
    const std::string strGet = "GET /api/status HTTP/1.1\r\nHost: x\r\n\r\n";
    const std::vector<CHeadRow> rows = {
        {"Nothing", "", EHeadVerdict::NeedMore},
        {"MethodBegun", "GE", EHeadVerdict::NeedMore},
        {"Get", strGet, EHeadVerdict::Complete},
        {"Head", "HEAD / HTTP/1.1\r\n\r\n", EHeadVerdict::Complete},
        {"NoHeaders", "GET / HTTP/1.0\r\n\r\n", EHeadVerdict::Complete},
        {"HeadersNotEnded", "GET / HTTP/1.1\r\nHost: x\r\n", EHeadVerdict::NeedMore},
        {"PipelinedRest", strGet + "GET /", EHeadVerdict::Complete},
        {"Post", "POST / HTTP/1.1\r\n\r\n", EHeadVerdict::MethodRefused},
        {"PostKnownEarly", "POST ", EHeadVerdict::MethodRefused},
        {"Delete", "DELETE /x HTTP/1.1\r\n\r\n", EHeadVerdict::MethodRefused},
        {"Options", "OPTIONS * HTTP/1.1\r\n\r\n", EHeadVerdict::MethodRefused},
        {"LowerCaseGet", "get / HTTP/1.1\r\n\r\n", EHeadVerdict::MethodRefused},
        {"BinaryMethod", std::string("\x16\x03\x01\x02", 4), EHeadVerdict::Malformed},
        {"LongWordWithoutBlank", std::string(40, 'A'), EHeadVerdict::Malformed},
        {"LeadingBlank", " GET / HTTP/1.1\r\n\r\n", EHeadVerdict::Malformed},
        {"NoTarget", "GET  HTTP/1.1\r\n\r\n", EHeadVerdict::Malformed},
        {"NoVersion", "GET /\r\n\r\n", EHeadVerdict::Malformed},
        {"TargetAtLimit", "GET /" + std::string(63, 'a') + " HTTP/1.1\r\n\r\n",
         EHeadVerdict::Complete},
        {"TargetTooLong", "GET /" + std::string(64, 'a') + " HTTP/1.1\r\n\r\n",
         EHeadVerdict::TargetTooLong},
        {"TargetTooLongKnownEarly", "GET /" + std::string(80, 'a'), EHeadVerdict::TargetTooLong},
        {"HeadAtLimit", "GET / HTTP/1.1\r\nX: " + std::string(256 - 23, 'h') + "\r\n\r\n",
         EHeadVerdict::Complete},
        {"HeadTooLarge", "GET / HTTP/1.1\r\nX: " + std::string(256 - 22, 'h') + "\r\n\r\n",
         EHeadVerdict::HeadTooLarge},
        {"EndlessHeader", "GET / HTTP/1.1\r\nX: " + std::string(300, 'h'),
         EHeadVerdict::HeadTooLarge},
        {"ContentLength", "GET / HTTP/1.1\r\nContent-Length: 5\r\n\r\n", EHeadVerdict::BodyRefused},
        {"ContentLengthAnyCase", "GET / HTTP/1.1\r\ncOnTeNt-LeNgTh:7\r\n\r\n",
         EHeadVerdict::BodyRefused},
        {"ContentLengthZero", "GET / HTTP/1.1\r\nContent-Length: 0\r\n\r\n",
         EHeadVerdict::Complete},
        {"Chunked", "GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n",
         EHeadVerdict::BodyRefused},
        {"NonUtf8Target", "GET /players/\xFF\xFE HTTP/1.1\r\n\r\n", EHeadVerdict::Complete},
    };
    for (const CHeadRow& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        web::CHeadCheck check = web::CheckRequestHead(row.m_strBytes, limits);
        EXPECT_EQ(static_cast<int>(check.m_eVerdict), static_cast<int>(row.m_eVerdict));
        if (row.m_eVerdict == EHeadVerdict::Complete) {
            EXPECT_EQ(row.m_strBytes.substr(check.m_nHeadBytes - 4, 4), "\r\n\r\n");
        }
    }
}

TEST(RequestGateTest, CompleteHeadEndsAtItsBlankLine) {
    const std::string strFirst = "GET /a HTTP/1.1\r\nHost: x\r\n\r\n";
    web::CHeadCheck check = web::CheckRequestHead(strFirst + "GET /b HTTP/1.1\r\n\r\n", {});
    EXPECT_EQ(check.m_nHeadBytes, strFirst.size());
}

TEST(RequestGateTest, RangeHeadersAreTakenOut) {
    const std::string strRest = "GET /next HTTP/1.1\r\n";
    std::string strBuffer = "GET / HTTP/1.1\r\nHost: x\r\nRange: bytes=0-,0-,0-\r\n"
                            "Accept: */*\r\nrAnGe:bytes=1-2\r\n\r\n" + strRest;
    web::CHeadCheck check = web::CheckRequestHead(strBuffer, {});
    ASSERT_EQ(static_cast<int>(check.m_eVerdict), static_cast<int>(EHeadVerdict::Complete));
    size_t nRemoved = web::DropRangeHeaders(strBuffer, check.m_nHeadBytes);
    EXPECT_EQ(strBuffer, "GET / HTTP/1.1\r\nHost: x\r\nAccept: */*\r\n\r\n" + strRest);
    EXPECT_EQ(check.m_nHeadBytes - nRemoved, strBuffer.size() - strRest.size());

    std::string strPlain = "GET / HTTP/1.1\r\nRanges: x\r\nX-Range: y\r\n\r\n";
    std::string strCopy = strPlain;
    EXPECT_EQ(web::DropRangeHeaders(strCopy, strCopy.size()), 0u);
    EXPECT_EQ(strCopy, strPlain);
    std::string strBare = "GET / HTTP/1.1\r\n\r\n";
    EXPECT_EQ(web::DropRangeHeaders(strBare, strBare.size()), 0u);
}

TEST(RequestGateTest, RefusalsHaveTheirStatus) {
    EXPECT_EQ(web::HeadVerdictStatus(EHeadVerdict::Malformed), 400);
    EXPECT_EQ(web::HeadVerdictStatus(EHeadVerdict::BodyRefused), 400);
    EXPECT_EQ(web::HeadVerdictStatus(EHeadVerdict::MethodRefused), 405);
    EXPECT_EQ(web::HeadVerdictStatus(EHeadVerdict::TargetTooLong), 414);
    EXPECT_EQ(web::HeadVerdictStatus(EHeadVerdict::HeadTooLarge), 431);
    EXPECT_EQ(web::HeadVerdictStatus(EHeadVerdict::Complete), 0);
}

}  // namespace
