#include "core/SideSettings.h"

#include "monitor/ColorRule.h"
#include "res/Languages.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace core {

irc::CIrcSettings IrcSettingsOf(const config::CSettingsValues& settings) {
    irc::CIrcSettings c;
    c.m_strServer = settings.m_strIrcServer;
    c.m_nPort = static_cast<uint16_t>(settings.m_nIrcPort);
    c.m_strNick = settings.m_strNick;
    c.m_strAltNick = settings.m_strAltNick;
    c.m_strChannel = settings.m_strChannel;
    c.m_bAuth = settings.m_bAuth != 0;
    c.m_strUsername = settings.m_strUsername;
    c.m_strPassword = settings.m_strPassword;
    c.m_nNetwork = settings.m_nNetwork;
    c.m_security.m_bTls = settings.m_bTls != 0;
    c.m_security.m_strTlsFingerprint = settings.m_strTlsFingerprint;
    c.m_security.m_strClientCert = settings.m_strClientCert;
    return c;
}

CGameRunSettings GameRunSettingsOf(const config::CSettingsValues& settings) {
    CGameRunSettings run;
    monitor::CAnnounceSettings& s = run.m_announce;
    static_cast<monitor::CColorScheme&>(s) = settings.Colors();
    for (std::string* pColor :
         {&s.m_strAlliedKillColor, &s.m_strAlliedFlagColor, &s.m_strAxisKillColor,
          &s.m_strAxisFlagColor, &s.m_strStatusColor, &s.m_strKeyColor, &s.m_strValueColor})
        *pColor = monitor::TwoDigitColor(*pColor);
    s.m_nLangBase = res::PhraseBase(settings.m_nLanguage);
    s.m_strServer = settings.m_strGameServer;
    s.m_nQueryPort = settings.m_nQueryPort;
    run.m_filters.m_bShowKill = settings.m_bShowKill != 0;
    run.m_filters.m_bShowTk = settings.m_bShowTk != 0;
    run.m_filters.m_bShowFlag = settings.m_bShowFlag != 0;
    run.m_bShowTicket = settings.m_bShowTicket != 0;
    return run;
}

COperatorMessage IrcRefusal(const config::CSettingsProblem& problem,
                            const config::CSettingsValues& settings) {
    COperatorMessage message;
    message.m_strCaption = res::LoadResString(res::IDS_ERROR);
    message.m_eIcon = EMessageIcon::Error;
    message.m_strKey = problem.pszKey;
    switch (problem.eProblem) {
        case config::EProblem::NoChannel:
            message.m_strText = kChannelInvalid;
            break;
        case config::EProblem::NoFingerprint:
        case config::EProblem::NoFile:
        case config::EProblem::NeedsTls:
            // Not an empty field: the operator needs the reason.
            message.m_strText = config::ProblemText(problem, settings);
            break;
        default:
            message.m_strText = res::LoadResString(res::IDS_FILL_OUT);
            break;
    }
    return message;
}

COperatorMessage GameRefusal() {
    return COperatorMessage{res::LoadResString(res::IDS_FILL_OUT),
                            res::LoadResString(res::IDS_ERROR), EMessageIcon::Error, {}};
}

}  // namespace core
