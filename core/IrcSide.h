#pragma once
// The IRC session as the bot owns it: its log lines and its end go to the
// bot, which tells its observers.
#include <string>

#include "irc/IrcSession.h"
#include "irc/IrcStatus.h"

namespace core {

class CBot;

class CIrcSide final : public irc::CIrcSession {
public:
    CIrcSide(CBot& bot, platform::CClock& clock, bridge::CGameShared& game);
    ~CIrcSide() override;

    irc::CIrcStatus Status();

protected:
    void WriteLog(const std::string& strText) override;
    void OnSessionEnded() override;

private:
    CBot& m_bot;
};

}  // namespace core
