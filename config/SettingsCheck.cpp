#include "config/SettingsCheck.h"

#include <algorithm>
#include <cstring>

#include "config/SettingsKeys.h"
#include "irc/IrcSecurity.h"
#include "platform/FileInfo.h"
#include "platform/NetAddress.h"
#include "platform/PemKey.h"
#include "platform/Text.h"
#include "platform/TlsStream.h"

namespace config {

namespace {

bool IsChannelName(const std::string& strChannel) {
    return strChannel.find(' ') == std::string::npos && strChannel.find('#') != std::string::npos;
}

// SASL EXTERNAL logs in by the client certificate alone.
bool LogsInByCertificate(const irc::CIrcSettings& irc) {
    return irc.m_nNetwork == irc::kNetworkSasl && !irc.m_security.m_strClientCert.empty();
}

// The table's rules of one tab's keys, in the order the tab checks them.
std::vector<CSettingsProblem> RuleProblems(const CSettings& values, ESettingTab eTab) {
    std::vector<const CSettingKey*> keys;
    for (const CSettingKey& key : SettingKeys())
        if (key.m_eTab == eTab && key.m_eRule != ESettingRule::None) keys.push_back(&key);
    std::stable_sort(keys.begin(), keys.end(), [](const CSettingKey* a, const CSettingKey* b) {
        return a->m_nCheckOrder < b->m_nCheckOrder;
    });
    const bool bLoginNeedsCredentials = values.m_irc.m_bAuth && !LogsInByCertificate(values.m_irc);
    std::vector<CSettingsProblem> problems;
    for (const CSettingKey* pKey : keys) {
        const char* pszKey = pKey->m_strName.data();  // the table's names are literals
        switch (pKey->m_eRule) {
            case ESettingRule::None:
                break;
            case ESettingRule::Filled:
                if (pKey->Text(values).empty()) problems.push_back({pszKey, EProblem::Empty});
                break;
            case ESettingRule::Credential:
                if (bLoginNeedsCredentials && pKey->Text(values).empty())
                    problems.push_back({pszKey, EProblem::Empty});
                break;
            case ESettingRule::Port: {
                const int32_t nPort =
                    pKey->m_eType == ESettingType::Port16 ? pKey->Port(values) : pKey->Int(values);
                if (nPort == 0) problems.push_back({pszKey, EProblem::NoPort});
                break;
            }
            case ESettingRule::Positive:
                // A negative interval comes only from a hand-edited file.
                if (pKey->Int(values) <= 0) problems.push_back({pszKey, EProblem::NoInterval});
                break;
        }
    }
    return problems;
}

// The value as typed, for the operator's words.
std::string ValueOf(const CSettings& values, const CSettingKey* pKey) {
    if (pKey == nullptr) return {};
    return pKey->m_eType == ESettingType::Text ? pKey->Text(values) : SettingText(values, *pKey);
}

}  // namespace

bool CSettingsProblem::operator==(const CSettingsProblem& other) const {
    return std::strcmp(m_pszKey, other.m_pszKey) == 0 && m_eProblem == other.m_eProblem;
}

bool CSettingsNote::operator==(const CSettingsNote& other) const {
    return std::strcmp(m_pszKey, other.m_pszKey) == 0 && m_eNote == other.m_eNote;
}

std::vector<CSettingsProblem> IrcSideProblems(const CSettings& values) {
    std::vector<CSettingsProblem> problems = RuleProblems(values, ESettingTab::Irc);
    const irc::CIrcSettings& irc = values.m_irc;
    if (!irc.m_strChannel.empty() && !IsChannelName(irc.m_strChannel))
        problems.push_back({"irc_Channel", EProblem::NoChannel});
    const std::string& strFingerprint = irc.m_security.m_strTlsFingerprint;
    if (!strFingerprint.empty() && !platform::ParseFingerprint(strFingerprint))
        problems.push_back({"irc_TLSFingerprint", EProblem::NoFingerprint});
    const std::string& strClientCert = irc.m_security.m_strClientCert;
    if (!strClientCert.empty()) {
        if (platform::ReadError(strClientCert) != 0) {
            problems.push_back({"irc_ClientCert", EProblem::NoFile});
        } else {
            // The TLS library would ask for the pass phrase; it cannot work.
            if (platform::InspectPemKeyFile(strClientCert) == platform::EPemKey::Encrypted)
                problems.push_back({"irc_ClientCert", EProblem::EncryptedKey});
            if (!irc.m_security.m_bTls) problems.push_back({"irc_ClientCert", EProblem::NeedsTls});
        }
    }
    return problems;
}

std::vector<CSettingsProblem> GameServerProblems(const CSettings& values) {
    return RuleProblems(values, ESettingTab::Game);
}

std::vector<CSettingsProblem> GameSideProblems(const CSettings& values) {
    std::vector<CSettingsProblem> problems = GameServerProblems(values);
    for (const CSettingsProblem& problem : RuleProblems(values, ESettingTab::Colors))
        problems.push_back(problem);
    return problems;
}

std::vector<std::string> ChangedSettingsKeys(const CSettings& before, const CSettings& after) {
    std::vector<std::string> keys;
    for (const CSettingKey& key : SettingKeys()) {
        std::string strBefore = SettingText(before, key);
        std::string strAfter = SettingText(after, key);
        if (key.m_bAnyCase) {
            strBefore = platform::ToLowerAscii(strBefore);
            strAfter = platform::ToLowerAscii(strAfter);
        }
        if (strBefore != strAfter) keys.emplace_back(key.m_strName);
    }
    return keys;
}

CSidesOfChange SidesOfChange(const CSettings& before, const CSettings& after) {
    CSidesOfChange sides;
    for (const std::string& strKey : ChangedSettingsKeys(before, after)) {
        switch (FindSettingKey(strKey)->m_eSide) {
            case ESettingSide::Irc:
                sides.m_bIrc = true;
                break;
            case ESettingSide::Ticket:
                sides.m_bTicket = true;
                break;
            case ESettingSide::Game:
                sides.m_bGame = true;
                break;
            case ESettingSide::Stats:
                sides.m_bStats = true;
                break;
            case ESettingSide::Web:
                sides.m_bWeb = true;
                break;
        }
    }
    return sides;
}

std::string ProblemText(const CSettingsProblem& problem, const CSettings& values) {
    const std::string strKey = problem.m_pszKey;
    const std::string strValue = ValueOf(values, FindSettingKey(strKey));
    switch (problem.m_eProblem) {
        case EProblem::Empty:
            return strKey + " is empty";
        case EProblem::NoPort:
            return strKey + " is 0, not a port";
        case EProblem::NoInterval:
            return strKey + " is " + strValue + ", not a number of seconds above 0";
        case EProblem::NoChannel:
            return strKey + " \"" + strValue + "\" is no channel name (it needs a #" +
                   (strValue.find(' ') != std::string::npos ? " and no blank)" : ")");
        case EProblem::NoFingerprint:
            return strKey + " \"" + strValue +
                   "\" is no SHA-256 fingerprint (64 hex digits, colons allowed)";
        case EProblem::NoFile:
            return strKey + " " + strValue + " cannot be read (" +
                   platform::ErrorText(platform::ReadError(strValue)) + ")";
        case EProblem::NeedsTls:
            return strKey +
                   " is set, but irc_TLS is no: a client certificate is shown only "
                   "over TLS";
        case EProblem::EncryptedKey:
            return strKey + ": " + platform::EncryptedKeyText(strValue);
    }
    return strKey;
}

bool IsLoopbackServer(std::string_view strServer) {
    if (platform::ToLowerAscii(strServer) == "localhost") return true;
    platform::CNetAddress address;
    return platform::CNetAddress::ParseHost(strServer, &address) && address.IsLoopback();
}

bool SendsPasswordInPlainText(const irc::CIrcSettings& irc) {
    if (irc.m_security.m_bTls || !irc.m_bAuth) return false;
    const bool bAccountMessage = irc.m_nNetwork == 0 || irc.m_nNetwork == 1;
    const bool bSaslPlain = irc.m_nNetwork == irc::kNetworkSasl && !LogsInByCertificate(irc);
    return (bAccountMessage || bSaslPlain) && !IsLoopbackServer(irc.m_strServer);
}

std::vector<CSettingsNote> IrcSideNotes(const CSettings& values) {
    std::vector<CSettingsNote> notes;
    if (SendsPasswordInPlainText(values.m_irc))
        notes.push_back({"irc_Password", ENote::PasswordInPlainText});
    return notes;
}

std::vector<CSettingsNote> SettingsFileNotes(const std::string& strPath, const CSettings& values) {
    std::vector<CSettingsNote> notes;
    if (!values.m_irc.m_strPassword.empty() && platform::ReadableByOthers(strPath))
        notes.push_back({"irc_Password", ENote::ReadableFile});
    return notes;
}

std::string NoteText(const CSettingsNote& note, const std::string& strFile) {
    switch (note.m_eNote) {
        case ENote::PasswordInPlainText:
            return kTextPasswordInPlainText;
        case ENote::ReadableFile:
            return strFile + " holds " + note.m_pszKey + " and can be read by others; chmod 600 it";
    }
    return {};
}

}  // namespace config
