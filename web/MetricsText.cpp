#include "web/MetricsText.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <utility>

#include "web/WebText.h"

namespace web {

namespace {

class CFamilyWriter {
public:
    explicit CFamilyWriter(std::string& out) : m_out(out) {}

    void Begin(std::string_view strName, std::string_view strType, std::string_view strHelp) {
        m_out.append("# HELP ").append(strName).append(" ").append(strHelp).append("\n");
        m_out.append("# TYPE ").append(strName).append(" ").append(strType).append("\n");
    }

    void Sample(std::string_view strName, uint64_t nValue) {
        m_out.append(strName).append(" ").append(std::to_string(nValue)).append("\n");
    }

    void Sample(std::string_view strName, std::string_view strLabel,
                std::string_view strLabelValue, uint64_t nValue) {
        m_out.append(strName).append("{").append(strLabel).append("=\"");
        m_out.append(EscapeLabelValue(strLabelValue)).append("\"} ");
        m_out.append(std::to_string(nValue)).append("\n");
    }

    void Sample(std::string_view strName, double fValue) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.3f", std::isfinite(fValue) ? fValue : 0.0);
        m_out.append(strName).append(" ").append(buf).append("\n");
    }

private:
    std::string& m_out;
};

}  // namespace

std::string EscapeLabelValue(std::string_view strCp1252) {
    // WebText has made every control byte (line feeds too) U+FFFD already.
    std::string out;
    for (char c : WebText(strCp1252)) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

std::string MetricsText(const CWebMetrics& m) {
    std::string out;
    CFamilyWriter w(out);
    w.Begin("fragrelay_game_up", "gauge", "Whether the game server answered the last poll (1) or not (0).");
    w.Sample("fragrelay_game_up", uint64_t{m.m_bGameUp});
    w.Begin("fragrelay_game_players", "gauge", "Players on the game server at the last poll.");
    w.Sample("fragrelay_game_players", static_cast<uint64_t>(m.m_nGamePlayers > 0 ? m.m_nGamePlayers : 0));
    w.Begin("fragrelay_game_polls_total", "counter", "Polls of the game server, by result.");
    for (const auto& [strResult, nCount] : m.m_gamePolls)
        w.Sample("fragrelay_game_polls_total", "result", strResult, nCount);
    w.Begin("fragrelay_irc_connected", "gauge", "Whether the bot is connected to IRC (1) or not (0).");
    w.Sample("fragrelay_irc_connected", uint64_t{m.m_bIrcConnected});
    w.Begin("fragrelay_irc_lines_sent_total", "counter", "Lines sent to the IRC server.");
    w.Sample("fragrelay_irc_lines_sent_total", m.m_nIrcLinesSent);
    w.Begin("fragrelay_irc_lines_skipped_total", "counter",
            "Lines dropped from the IRC send queue instead of sent.");
    w.Sample("fragrelay_irc_lines_skipped_total", m.m_nIrcLinesSkipped);
    w.Begin("fragrelay_irc_queue_lines", "gauge", "Lines waiting in the IRC send queue.");
    w.Sample("fragrelay_irc_queue_lines", m.m_nIrcQueueLines);
    w.Begin("fragrelay_reconnects_total", "counter", "Times a side started again on its own, by side.");
    w.Sample("fragrelay_reconnects_total", "side", "irc", m.m_nIrcReconnects);
    w.Sample("fragrelay_reconnects_total", "side", "game", m.m_nGameReconnects);
    w.Begin("fragrelay_rounds_total", "counter", "Rounds seen to their end.");
    w.Sample("fragrelay_rounds_total", m.m_nRounds);
    w.Begin("process_start_time_seconds", "gauge", "Start time of the process since unix epoch in seconds.");
    w.Sample("process_start_time_seconds", m.m_fProcessStartTime);
    return out;
}

}  // namespace web
