// Cost of dispatching one received line (the pure checks; the log's pause
// and the socket are not part of it).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "irc/IrcDispatch.h"
#include "irc/IrcLineSplitter.h"

namespace {

irc::CIrcSessionView View() {
    irc::CIrcSessionView view;
    view.m_strChannel = "#fragrelay";
    view.m_strCurrentNick = "fragbot";
    view.m_strNick = "fragbot";
    view.m_strAltNick = "fragbot2";
    view.m_strVersion = "v1.3 BETA";
    view.m_eGameState = bridge::EGameState::Running;
    return view;
}

void DispatchOne(benchmark::State& st, const std::string& strLine) {
    irc::CIrcSessionView view = View();
    irc::CIrcLineState state;
    std::vector<irc::CIrcAction> actions;
    actions.reserve(8);
    for (auto _ : st) {
        actions.clear();
        irc::DispatchLine(strLine, view, state, &actions);
        benchmark::DoNotOptimize(actions.data());
    }
    st.SetItemsProcessed(st.iterations());
}

void BM_DispatchChannelMessage(benchmark::State& st) {
    DispatchOne(st,
                ":someone!~user@host.example.net PRIVMSG #fragrelay :nice shot, that was close");
}
void BM_DispatchGameInfo(benchmark::State& st) {
    DispatchOne(st, ":someone!~user@host.example.net PRIVMSG #fragrelay :!gameinfo");
}
void BM_DispatchServerPing(benchmark::State& st) {
    DispatchOne(st, "PING :irc.example.net");
}
void BM_DispatchJoin(benchmark::State& st) {
    DispatchOne(st, ":newcomer!~user@host.example.net JOIN :#fragrelay");
}
void BM_DispatchNumeric(benchmark::State& st) {
    DispatchOne(st, ":irc.example.net 372 fragbot :- a line of the message of the day");
}

// A read of 1024 bytes of channel traffic: splitting plus dispatch, per line.
void BM_SplitAndDispatchRead(benchmark::State& st) {
    std::string strBlock;
    int nLines = 0;
    while (strBlock.size() < 1000) {
        strBlock += ":player" + std::to_string(nLines) + "!~u@h PRIVMSG #fragrelay :gg wp\r\n";
        ++nLines;
    }
    irc::CIrcSessionView view = View();
    irc::CIrcLineState state;
    std::vector<irc::CIrcAction> actions;
    std::string strLine;
    for (auto _ : st) {
        irc::CIrcLineSplitter splitter;
        splitter.Feed(strBlock.data(), strBlock.size());
        while (splitter.Next(strLine)) {
            actions.clear();
            irc::DispatchLine(strLine, view, state, &actions);
        }
        benchmark::DoNotOptimize(actions.data());
    }
    st.SetItemsProcessed(st.iterations() * nLines);
}

}  // namespace

BENCHMARK(BM_DispatchChannelMessage);
BENCHMARK(BM_DispatchGameInfo);
BENCHMARK(BM_DispatchServerPing);
BENCHMARK(BM_DispatchJoin);
BENCHMARK(BM_DispatchNumeric);
BENCHMARK(BM_SplitAndDispatchRead);
