#include "config/SettingsFormat.h"

#include "config/SettingsKeys.h"

namespace config {

namespace {

void ApplyLine(std::string_view strLine, CSettings& values) {
    strLine = strLine.substr(0, strLine.find('\0'));
    if (strLine.size() >= 2 && strLine[0] == '/' && strLine[1] == '/') return;

    std::string strBare;
    strBare.reserve(strLine.size());
    for (char c : strLine)
        if (c != ' ') strBare += c;

    const size_t nEq = strBare.find('=');
    if (nEq == std::string::npos) return;
    const CSettingKey* pKey = FindSettingKey(std::string_view(strBare.data(), nEq));
    if (pKey != nullptr)
        SetSettingFromText(values, *pKey, std::string_view(strBare).substr(nEq + 1));
}

}  // namespace

CSettingsParser::CSettingsParser(CSettings start) : m_values(std::move(start)) {}

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

CSettings ParseSettings(std::string_view strText) {
    CSettingsParser parser;
    parser.Feed(strText);
    parser.Finish();
    return parser.Values();
}

std::string FormatSettings(const CSettings& values) {
    std::string strOut;
    strOut.reserve(512);
    for (const CSettingKey& key : SettingKeys()) {
        strOut += key.m_strName;
        strOut += '=';
        strOut += SettingText(values, key);
        strOut += "\r\n";
    }
    return strOut;
}

}  // namespace config
