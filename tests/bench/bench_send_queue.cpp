// The send queue's cost per line, and how many lines a second the receive
// loop takes in a busy channel (read, split, dispatch, log) on 127.0.0.1.
#include <benchmark/benchmark.h>

#include <string>

#include "irc/IrcSession.h"
#include "irc/SendQueue.h"
#include "platform/Clock.h"
#include "platform/Socket.h"

namespace {

using irc::CSendQueue;
using irc::ELineKind;

// A line in and out again, time moving by each wait as the writer's would.
void BM_QueuePushPop(benchmark::State& st) {
    CSendQueue queue;
    const std::string strLine =
        "PRIVMSG #fragrelay :\x03"
        "05Hans (12/7/3)\x03 killed \x03"
        "02Tom";
    uint32_t nNow = 0;
    CSendQueue::COut out;
    for (auto _ : st) {
        queue.Push(strLine, ELineKind::Event);
        uint32_t nWait = 0;
        while (queue.Pop(nNow, &out, &nWait) == CSendQueue::EPop::Wait) nNow += nWait;
        benchmark::DoNotOptimize(out.m_strLine.data());
    }
    st.SetItemsProcessed(st.iterations());
}

// Event lines pushed into a full backlog: each push drops the oldest.
void BM_QueueEventBacklog(benchmark::State& st) {
    CSendQueue queue;
    for (int n = 0; n < 50; ++n)
        queue.Push("PRIVMSG #c :reply " + std::to_string(n), ELineKind::Reply);
    const std::string strLine = "PRIVMSG #fragrelay :an event line of ordinary length";
    for (auto _ : st) queue.Push(strLine, ELineKind::Event);
    st.SetItemsProcessed(st.iterations());
    st.counters["skipped"] = static_cast<double>(queue.SkippedEvents());
}

class CQuietEvents : public irc::IIrcEvents {
public:
    void OnIrcLog(const std::string&) override {}
    void OnIrcStatusChanged() override {}
    void OnIrcRequest() override {}
};

// Reads the server side until strWanted has arrived (at most 10 s).
bool ReadUntil(platform::CSocket& conn, std::string& strSeen, const std::string& strWanted) {
    char buf[4096];
    for (int n = 0; n < 1000 && strSeen.find(strWanted) == std::string::npos; ++n) {
        if (conn.WaitReadable(10) != platform::EWaitResult::Readable) continue;
        const int nRead = conn.Recv(buf, sizeof buf);
        if (nRead <= 0) return false;
        strSeen.append(buf, static_cast<size_t>(nRead));
    }
    return strSeen.find(strWanted) != std::string::npos;
}

// A busy channel: blocks of 1000 channel lines, each followed by a PING
// whose PONG marks the block as taken.
void BM_ReceiveLoopBusyChannel(benchmark::State& st) {
    platform::CSocket listener = platform::CSocket::CreateTcp();
    if (!listener.Bind(platform::LoopbackAddress()) || !listener.Listen()) {
        st.SkipWithError("no listener");
        return;
    }
    bridge::CGameShared gameShared;
    CQuietEvents events;
    irc::CIrcSession session(platform::SystemClock(), gameShared, events);
    irc::CIrcSettings connection;
    connection.m_strServer = "127.0.0.1";
    connection.m_nPort = listener.LocalPort();
    connection.m_strNick = "fragbot";
    connection.m_strAltNick = "fragbot2";
    connection.m_strChannel = "#fragrelay";
    session.Open(connection);
    if (listener.WaitReadable(10000) != platform::EWaitResult::Readable) {
        st.SkipWithError("no connection");
        return;
    }
    platform::CSocket conn = listener.Accept();
    std::string strSeen;
    ReadUntil(conn, strSeen, "USER ");
    conn.Send(":srv 376 fragbot :End\r\n:fragbot!b@h JOIN :#fragrelay\r\n");
    std::string strBlock;
    for (int n = 0; n < 1000; ++n)
        strBlock += ":player" + std::to_string(n % 32) +
                    "!~u@host.example.net PRIVMSG #fragrelay :gg wp, nice shot " +
                    std::to_string(n) + "\r\n";
    int nBlock = 0;
    for (auto _ : st) {
        const std::string strMark = "b" + std::to_string(++nBlock);
        conn.Send(strBlock + "PING :" + strMark + "\r\n");
        strSeen.clear();
        if (!ReadUntil(conn, strSeen, "PONG :" + strMark)) {
            st.SkipWithError("no PONG");
            break;
        }
    }
    st.SetItemsProcessed(st.iterations() * 1001);
    session.End();
}

}  // namespace

BENCHMARK(BM_QueuePushPop);
BENCHMARK(BM_QueueEventBacklog);
BENCHMARK(BM_ReceiveLoopBusyChannel)->Unit(benchmark::kMillisecond)->UseRealTime();
