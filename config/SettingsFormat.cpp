#include "config/SettingsFormat.h"

#include <algorithm>

#include "platform/Text.h"

namespace config {

namespace {

enum class EKind { Text, Int, Port, Bool };

struct CKey {
    std::string_view strKey;
    EKind eKind;
    std::string CSettingsValues::*pText = nullptr;
    int32_t CSettingsValues::*pInt = nullptr;  // Int and Bool
};

using V = CSettingsValues;

// In the writer's order. The reader looks a key up here; keys are unique,
// so the order of its comparisons does not matter.
const CKey kKeys[] = {
    {"irc_Server", EKind::Text, &V::m_strIrcServer},
    {"irc_Port", EKind::Port},
    {"irc_Nick", EKind::Text, &V::m_strNick},
    {"irc_altNick", EKind::Text, &V::m_strAltNick},
    {"irc_Channel", EKind::Text, &V::m_strChannel},
    {"irc_Auth", EKind::Bool, nullptr, &V::m_bAuth},
    {"irc_Username", EKind::Text, &V::m_strUsername},
    {"irc_Password", EKind::Text, &V::m_strPassword},
    {"irc_Network", EKind::Int, nullptr, &V::m_nNetwork},
    {"irc_Tickettime", EKind::Int, nullptr, &V::m_nTicketSecs},
    {"bf_Language", EKind::Int, nullptr, &V::m_nLanguage},
    {"bf_Server", EKind::Text, &V::m_strGameServer},
    {"bf_Port", EKind::Int, nullptr, &V::m_nQueryPort},
    {"allied_farbe_kill", EKind::Text, &V::m_strAlliedKillColor},
    {"allied_farbe_flagge", EKind::Text, &V::m_strAlliedFlagColor},
    {"axis_farbe_kill", EKind::Text, &V::m_strAxisKillColor},
    {"axis_farbe_flagge", EKind::Text, &V::m_strAxisFlagColor},
    {"status_farbe", EKind::Text, &V::m_strStatusColor},
    {"key_farbe", EKind::Text, &V::m_strKeyColor},
    {"value_farbe", EKind::Text, &V::m_strValueColor},
    {"show_flag", EKind::Bool, nullptr, &V::m_bShowFlag},
    {"show_kill", EKind::Bool, nullptr, &V::m_bShowKill},
    {"show_ticket", EKind::Bool, nullptr, &V::m_bShowTicket},
    {"show_tk", EKind::Bool, nullptr, &V::m_bShowTk},
    // Added later: after the old keys, so an old file saved again keeps its lines.
    {"irc_TLS", EKind::Bool, nullptr, &V::m_bTls},
    {"irc_TLSFingerprint", EKind::Text, &V::m_strTlsFingerprint},
    {"irc_ClientCert", EKind::Text, &V::m_strClientCert},
};

void ApplyLine(std::string_view strLine, CSettingsValues& values) {
    strLine = strLine.substr(0, strLine.find('\0'));
    if (strLine.size() >= 2 && strLine[0] == '/' && strLine[1] == '/') return;

    std::string strBare;
    strBare.reserve(strLine.size());
    for (char c : strLine)
        if (c != ' ') strBare += c;

    const size_t nEq = strBare.find('=');
    if (nEq == std::string::npos) return;
    const std::string_view strKey(strBare.data(), nEq);
    const std::string_view strValue = std::string_view(strBare).substr(nEq + 1);

    for (const CKey& key : kKeys) {
        if (key.strKey != strKey) continue;
        switch (key.eKind) {
            case EKind::Text:
                values.*key.pText = std::string(strValue);
                break;
            case EKind::Int:
                values.*key.pInt = platform::ParseLeadingInt(strValue);
                break;
            case EKind::Port:
                // Only the low 16 bits: 70000 is port 4464.
                values.m_nIrcPort = static_cast<int16_t>(static_cast<uint16_t>(
                    static_cast<uint32_t>(platform::ParseLeadingInt(strValue))));
                break;
            case EKind::Bool:
                values.*key.pInt = strValue == "yes" ? 1 : 0;
                break;
        }
        return;
    }
}

std::string OneLine(std::string_view strValue) {
    std::string str(strValue);
    str.erase(std::remove_if(str.begin(), str.end(), [](char c) { return c == '\n' || c == '\0'; }),
              str.end());
    return str;
}

}  // namespace

CSettingsValues DefaultSettings() {
    CSettingsValues values;
    values.m_strIrcServer = kDefaultIrcServer;
    values.m_nIrcPort = 6667;
    values.m_strNick = "fraghorn";
    values.m_nNetwork = 0;
    values.m_nLanguage = 0;
    values.m_nQueryPort = 23000;
    values.m_strAlliedKillColor = "02";
    values.m_strAxisKillColor = "05";
    values.m_strAlliedFlagColor = "12";
    values.m_strAxisFlagColor = "04";
    values.m_strStatusColor = "14";
    values.m_strKeyColor = "10";
    values.m_strValueColor = "14";
    return values;
}

CSettingsParser::CSettingsParser(CSettingsValues start) : m_values(std::move(start)) {}

void CSettingsParser::Feed(std::string_view strChunk) {
    while (!strChunk.empty()) {
        const size_t nLf = strChunk.find('\n');
        const std::string_view strPart = strChunk.substr(0, nLf);
        // One byte beyond the limit may be the CR before the line feed.
        if (!m_bTooLong) {
            if (m_strLine.size() + strPart.size() > kMaxLineChars + 1) {
                m_bTooLong = true;
                m_strLine.clear();
            } else {
                m_strLine.append(strPart);
            }
        }
        if (nLf == std::string_view::npos) return;
        EndLine(true);
        strChunk.remove_prefix(nLf + 1);
    }
}

void CSettingsParser::Finish() {
    if (m_bTooLong || !m_strLine.empty()) EndLine(false);
}

void CSettingsParser::Abandon() {
    m_strLine.clear();
    m_bTooLong = false;
}

void CSettingsParser::EndLine(bool bHadLineFeed) {
    if (bHadLineFeed && !m_strLine.empty() && m_strLine.back() == '\r') m_strLine.pop_back();
    if (!m_bTooLong && m_strLine.size() <= kMaxLineChars) ApplyLine(m_strLine, m_values);
    m_strLine.clear();
    m_bTooLong = false;
}

CSettingsValues ParseSettings(std::string_view strText) {
    CSettingsParser parser;
    parser.Feed(strText);
    parser.Finish();
    return parser.Values();
}

std::string FormatSettings(const CSettingsValues& values) {
    std::string strOut;
    strOut.reserve(512);
    for (const CKey& key : kKeys) {
        strOut += key.strKey;
        strOut += '=';
        switch (key.eKind) {
            case EKind::Text:
                strOut += OneLine(values.*key.pText);
                break;
            case EKind::Int:
                strOut += platform::IntToText(values.*key.pInt);
                break;
            case EKind::Port:
                strOut += platform::IntToText(values.m_nIrcPort);
                break;
            case EKind::Bool:
                strOut += values.*key.pInt != 0 ? "yes" : "no";
                break;
        }
        strOut += "\r\n";
    }
    return strOut;
}

}  // namespace config
