// Any bytes from the server, cut into reads of any size, through the line
// splitter and the capability and SASL steps: no crash, memory bounded,
// nothing sent that could end its line early or pass the protocol's length,
// the password in no log line and in no sent line as it is, and base64 that
// decodes encodes back alike.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "irc/Capabilities.h"
#include "irc/IrcLineSplitter.h"
#include "irc/Sasl.h"

namespace {

constexpr char kPassword[] = "pw-\x01secret";

void Check(bool bOk) {
    if (!bOk) __builtin_trap();
}

// bServerSaidIt: the server's bytes hold the password, and a log line may
// quote the server (the mechanisms it offers).
void CheckStep(const irc::CSaslStep& step, bool bServerSaidIt) {
    for (const std::string& strLine : step.m_vSend) {
        Check(strLine.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
        Check(strLine.size() + 2 <= 512);
        // The secret leaves encoded, never as it is.
        Check(strLine.find(kPassword) == std::string::npos);
    }
    for (const std::string& strLog : step.m_vLog)
        Check(bServerSaidIt || strLog.find(kPassword) == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    if (nSize == 0) return 0;
    // The first byte chooses the read size, the mechanism and whether the
    // bot may go on without SASL.
    const size_t nRead = 1 + (pData[0] % 32) * 29;
    irc::CSaslConfig config;
    config.m_eMechanism =
        (pData[0] & 0x40) ? irc::ESaslMechanism::External : irc::ESaslMechanism::Plain;
    config.m_bRegisterWithoutSasl = (pData[0] & 0x80) != 0;
    config.m_strAccount = "fragbot";
    config.m_strPassword = kPassword;
    irc::CSaslNegotiation sasl(config);
    const bool bServerSaidIt =
        std::string_view(reinterpret_cast<const char*>(pData), nSize).find(kPassword) !=
        std::string_view::npos;
    uint32_t nNow = 0;
    CheckStep(sasl.Start(nNow), bServerSaidIt);

    irc::CIrcLineSplitter splitter;
    std::string strLine;
    auto feed = [&] {
        // Time moves on with every line, by the line's own first byte.
        nNow += static_cast<uint8_t>(strLine[0]) * 200u;
        CheckStep(sasl.OnLine(strLine, nNow), bServerSaidIt);
        CheckStep(sasl.OnTime(nNow), bServerSaidIt);
        Check(sasl.Offer().Caps().size() <= irc::CCapOffer::kMaxCaps);

        irc::CCapReply reply;
        if (irc::ParseCapReply(strLine, &reply))
            Check(irc::SplitCapList(reply.m_strList, 8).size() <= 8);
        std::string strBytes;
        if (irc::Base64Decode(strLine, &strBytes)) Check(irc::Base64Encode(strBytes) == strLine);
        Check(irc::Base64Decode(irc::Base64Encode(strLine), &strBytes) && strBytes == strLine);
    };
    for (size_t nPos = 1; nPos < nSize; nPos += nRead) {
        const size_t nLen = nSize - nPos < nRead ? nSize - nPos : nRead;
        splitter.Feed(reinterpret_cast<const char*>(pData + nPos), nLen);
        while (splitter.Next(strLine)) feed();
    }
    if (splitter.TakeRest(strLine)) feed();
    return 0;
}
