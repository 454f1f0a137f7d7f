#include "config/SettingsCheck.h"

#include <cstring>
#include <string_view>

#include "platform/FileInfo.h"
#include "platform/Text.h"
#include "platform/TlsStream.h"

namespace config {

namespace {

using V = CSettingsValues;

struct CColorKey {
    const char* pszKey;
    std::string V::*pColor;
};

// In the Settings tab's exchange order.
const CColorKey kColorKeys[] = {
    {"allied_farbe_kill", &V::m_strAlliedKillColor},
    {"axis_farbe_kill", &V::m_strAxisKillColor},
    {"status_farbe", &V::m_strStatusColor},
    {"allied_farbe_flagge", &V::m_strAlliedFlagColor},
    {"axis_farbe_flagge", &V::m_strAxisFlagColor},
    {"value_farbe", &V::m_strValueColor},
    {"key_farbe", &V::m_strKeyColor},
};

bool IsChannelName(const std::string& strChannel) {
    return strChannel.find(' ') == std::string::npos && strChannel.find('#') != std::string::npos;
}

}  // namespace

bool CSettingsProblem::operator==(const CSettingsProblem& other) const {
    return std::strcmp(pszKey, other.pszKey) == 0 && eProblem == other.eProblem;
}

std::vector<CSettingsProblem> IrcSideProblems(const CSettingsValues& values) {
    std::vector<CSettingsProblem> problems;
    if (values.m_nIrcPort == 0) problems.push_back({"irc_Port", EProblem::NoPort});
    if (values.m_strIrcServer.empty()) problems.push_back({"irc_Server", EProblem::Empty});
    if (values.m_strNick.empty()) problems.push_back({"irc_Nick", EProblem::Empty});
    if (values.m_strAltNick.empty()) problems.push_back({"irc_altNick", EProblem::Empty});
    if (values.m_strChannel.empty()) problems.push_back({"irc_Channel", EProblem::Empty});
    // The ticket reporter needs a positive interval; a negative one comes
    // only from a hand-edited file.
    if (values.m_nTicketSecs <= 0) problems.push_back({"irc_Tickettime", EProblem::NoInterval});
    // SASL EXTERNAL logs in by the client certificate alone.
    const bool bByCertificate = values.m_nNetwork == 2 && !values.m_strClientCert.empty();
    if (values.m_bAuth != 0 && !bByCertificate && values.m_strUsername.empty())
        problems.push_back({"irc_Username", EProblem::Empty});
    if (values.m_bAuth != 0 && !bByCertificate && values.m_strPassword.empty())
        problems.push_back({"irc_Password", EProblem::Empty});
    if (!values.m_strChannel.empty() && !IsChannelName(values.m_strChannel))
        problems.push_back({"irc_Channel", EProblem::NoChannel});
    if (!values.m_strTlsFingerprint.empty() &&
        !platform::ParseFingerprint(values.m_strTlsFingerprint))
        problems.push_back({"irc_TLSFingerprint", EProblem::NoFingerprint});
    if (!values.m_strClientCert.empty()) {
        if (platform::ReadError(values.m_strClientCert) != 0)
            problems.push_back({"irc_ClientCert", EProblem::NoFile});
        else if (values.m_bTls == 0)
            problems.push_back({"irc_ClientCert", EProblem::NeedsTls});
    }
    return problems;
}

std::vector<CSettingsProblem> GameServerProblems(const CSettingsValues& values) {
    std::vector<CSettingsProblem> problems;
    if (values.m_nQueryPort == 0) problems.push_back({"bf_Port", EProblem::NoPort});
    if (values.m_strGameServer.empty()) problems.push_back({"bf_Server", EProblem::Empty});
    return problems;
}

std::vector<CSettingsProblem> GameSideProblems(const CSettingsValues& values) {
    std::vector<CSettingsProblem> problems = GameServerProblems(values);
    for (const CColorKey& color : kColorKeys) {
        if ((values.*color.pColor).empty()) problems.push_back({color.pszKey, EProblem::Empty});
    }
    return problems;
}

std::vector<std::string> ChangedSettingsKeys(const CSettingsValues& before,
                                             const CSettingsValues& after) {
    // The written lines hold every key in the file's order and every value
    // as the file would have it.
    CSettingsValues beforeChannel = before;
    CSettingsValues afterChannel = after;
    beforeChannel.m_strChannel = platform::ToLowerAscii(before.m_strChannel);
    afterChannel.m_strChannel = platform::ToLowerAscii(after.m_strChannel);
    const std::string strBefore = FormatSettings(beforeChannel);
    const std::string strAfter = FormatSettings(afterChannel);
    std::vector<std::string> keys;
    size_t nBefore = 0;
    size_t nAfter = 0;
    while (nBefore < strBefore.size() && nAfter < strAfter.size()) {
        const size_t nBeforeEnd = strBefore.find("\r\n", nBefore);
        const size_t nAfterEnd = strAfter.find("\r\n", nAfter);
        const std::string_view strLineBefore(strBefore.data() + nBefore, nBeforeEnd - nBefore);
        const std::string_view strLineAfter(strAfter.data() + nAfter, nAfterEnd - nAfter);
        if (strLineBefore != strLineAfter)
            keys.emplace_back(strLineBefore.substr(0, strLineBefore.find('=')));
        nBefore = nBeforeEnd + 2;
        nAfter = nAfterEnd + 2;
    }
    return keys;
}

std::string ProblemText(const CSettingsProblem& problem, const CSettingsValues& values) {
    const std::string strKey = problem.pszKey;
    switch (problem.eProblem) {
        case EProblem::Empty:
            return strKey + " is empty";
        case EProblem::NoPort:
            return strKey + " is 0, not a port";
        case EProblem::NoInterval:
            return strKey + " is " + platform::IntToText(values.m_nTicketSecs) +
                   ", not a number of seconds above 0";
        case EProblem::NoChannel:
            return strKey + " \"" + values.m_strChannel + "\" is no channel name (it needs a #" +
                   (values.m_strChannel.find(' ') != std::string::npos ? " and no blank)" : ")");
        case EProblem::NoFingerprint:
            return strKey + " \"" + values.m_strTlsFingerprint +
                   "\" is no SHA-256 fingerprint (64 hex digits, colons allowed)";
        case EProblem::NoFile:
            return strKey + " " + values.m_strClientCert + " cannot be read (" +
                   platform::ErrorText(platform::ReadError(values.m_strClientCert)) + ")";
        case EProblem::NeedsTls:
            return strKey +
                   " is set, but irc_TLS is no: a client certificate is shown only "
                   "over TLS";
    }
    return strKey;
}

}  // namespace config
