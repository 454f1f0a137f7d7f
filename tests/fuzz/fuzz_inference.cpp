// Any bytes as two consecutive status replies (split at the first 0xFF,
// after one byte of run flags): decoding, inference and wording stay inside
// the tables, and every line that leaves for IRC or the log is one line:
// no CR, LF or NUL inside it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "irc/IrcSession.h"
#include "monitor/Announcements.h"
#include "monitor/EventInference.h"
#include "monitor/StatusReply.h"
#include "platform/Clock.h"

namespace {

const std::string kBreaks("\r\n\0", 3);

// Takes every line where it enters the send queue and checks that it is one line.
class CCheckingSession final : private irc::IIrcEvents, public irc::CIrcSession {
public:
    explicit CCheckingSession(platform::CClock& clock) : CIrcSession(clock, m_game, *this) {
        MarkInChannel(true);
    }
    ~CCheckingSession() override { End(); }

private:
    // Read by the session only once the dispatch runs, after construction.
    bridge::CGameShared m_game;

    void OnIrcLog(const std::string&) override {}
    void OnIrcStatusChanged() override {}
    void OnIrcRequest() override {}

protected:
    void QueueLine(std::string strLine, irc::ELineKind, irc::ELineTarget) override {
        if (strLine.find_first_of(kBreaks) != std::string::npos) abort();
    }
};

class CCheckingOutput final : public monitor::IGameOutput {
public:
    explicit CCheckingOutput(irc::CIrcSession& irc) : m_irc(irc) {}
    bool IsBroadcasting() const override { return true; }
    bridge::IIrcLink* IrcLink() const override { return &m_irc; }
    void AppendLog(std::string strText) override {
        if (strText.find_first_of(kBreaks) != std::string::npos) abort();
    }

private:
    irc::CIrcSession& m_irc;
};

monitor::CAnnounceSettings Settings(uint8_t nFlags) {
    monitor::CAnnounceSettings s;
    s.m_strAlliedKillColor = "02";
    s.m_strAxisKillColor = "05";
    s.m_strAlliedFlagColor = "12";
    s.m_strAxisFlagColor = "04";
    s.m_strStatusColor = "14";
    s.m_strKeyColor = "10";
    s.m_strValueColor = "14";
    s.m_nLangBase = (nFlags >> 3) % 10 * 100 - 100;  // no language, the eight, one too far
    s.m_strServer = "127.0.0.1";
    s.m_nQueryPort = 23000;
    return s;
}

void Announce(CCheckingOutput& out, const monitor::CAnnounceSettings& s,
              const monitor::CServerStatus& status, const monitor::CServerStatus& previous,
              const monitor::PlayerTable& players, const monitor::CPollEvents& poll) {
    // As the monitor run posts them: the banner a line at a time.
    for (const monitor::CGameEvent& event : poll.m_events) {
        if (event.m_eKind == monitor::EGameEvent::OpeningBanner) {
            for (const std::string& strLine : monitor::OpeningBannerLines(s, status))
                monitor::AnnounceStatus(out, strLine);
        }
        monitor::AnnounceEvent(out, s, event);
    }
    monitor::Announce(out, monitor::MapChangedLine(s, previous.m_strMapName, status.m_strMapName));
    monitor::Announce(out, monitor::GameStartsInLine(s, status.m_strGameStartDelay));
    monitor::Announce(out, monitor::GameStartsLine(s, status.m_strTimeLimit));
    for (const std::string& strLine : monitor::GameEndLines(s, players, status))
        monitor::Announce(out, strLine);
    monitor::AnswerRequestText(out, s, status, {bridge::EChannelRequest::GameInfo, "al", ""});
    monitor::AnswerRequestText(out, s, status,
                               {bridge::EChannelRequest::Join, status.m_strHostname, ""});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    static platform::CManualClock clock;
    static CCheckingSession session(clock);
    CCheckingOutput out(session);
    if (nSize == 0) return 0;

    const uint8_t nFlags = pData[0];
    const std::string_view input(reinterpret_cast<const char*>(pData) + 1, nSize - 1);
    const size_t nSplit = input.find('\xff');
    // Exact-size copies, so that any read past the end is caught.
    const std::string strFirst(input.substr(0, nSplit));
    const std::string strSecond(nSplit == std::string_view::npos ? input
                                                                 : input.substr(nSplit + 1));

    const monitor::CAnnounceSettings s = Settings(nFlags);
    const monitor::CEventFilters filters{(nFlags & 1) != 0, (nFlags & 2) != 0, true};
    monitor::CInferenceRun run;
    run.m_nPolls = (nFlags & 4) ? 2 : 1;
    run.m_bBannerPosted = (nFlags & 2) != 0;

    monitor::CServerStatus status;
    monitor::CServerStatus previous;
    monitor::PlayerTable players;
    for (const std::string* pReply : {&strFirst, &strSecond}) {
        monitor::ParseStatusReply(*pReply, status, players);
        const monitor::CPollEvents poll =
            monitor::InferEvents(run, status, players, previous, filters, true, true);
        if (poll.m_events.size() > 5 * monitor::kMaxEventEntries + 2) abort();
        Announce(out, s, status, previous, players, poll);
        previous = status;
    }
    return 0;
}
