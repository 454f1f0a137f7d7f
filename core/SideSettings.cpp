#include "core/SideSettings.h"

#include "monitor/ColorRule.h"
#include "res/Languages.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace core {

CGameRunSettings GameRunSettingsOf(const config::CSettings& settings) {
    CGameRunSettings run;
    monitor::CAnnounceSettings& s = run.m_announce;
    static_cast<monitor::CColorScheme&>(s) = settings.m_colors;
    for (std::string* pColor :
         {&s.m_strAlliedKillColor, &s.m_strAlliedFlagColor, &s.m_strAxisKillColor,
          &s.m_strAxisFlagColor, &s.m_strStatusColor, &s.m_strKeyColor, &s.m_strValueColor})
        *pColor = monitor::TwoDigitColor(*pColor);
    s.m_nLangBase = res::PhraseBase(settings.m_game.m_nLanguage);
    s.m_strServer = settings.m_game.m_strServer;
    s.m_nQueryPort = settings.m_game.m_nQueryPort;
    run.m_filters.m_bShowKill = settings.m_colors.m_bShowKill;
    run.m_filters.m_bShowTk = settings.m_colors.m_bShowTk;
    run.m_filters.m_bShowFlag = settings.m_colors.m_bShowFlag;
    run.m_bShowTicket = settings.m_colors.m_bShowTicket;
    return run;
}

COperatorMessage IrcRefusal(const config::CSettingsProblem& problem,
                            const config::CSettings& settings) {
    COperatorMessage message;
    message.m_strCaption = res::LoadResString(res::IDS_ERROR);
    message.m_eIcon = EMessageIcon::Error;
    message.m_strKey = problem.m_pszKey;
    switch (problem.m_eProblem) {
        case config::EProblem::NoChannel:
            message.m_strText = kChannelInvalid;
            break;
        case config::EProblem::NoFingerprint:
        case config::EProblem::NoFile:
        case config::EProblem::EncryptedKey:
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
