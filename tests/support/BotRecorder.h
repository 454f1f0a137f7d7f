#pragma once
// An observer of the bot for tests: keeps every event as it came (each
// side's log lines, the states, quick-info results, traffic figures,
// messages, the end), from whichever thread raised it. A hook may act on a
// state the moment it is told, on the telling thread.
#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/BotEvents.h"
#include "support/RecordingMessages.h"
#include "support/Wait.h"

namespace testsupport {

class CBotRecorder : public core::IBotObserver {
public:
    // fn is called with each later state on the telling thread; nullptr: none.
    void SetOnState(std::function<void(const core::CBotState&)> fn) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_onState = std::move(fn);
    }

    void OnLog(core::ESide eSide, const std::string& strLine) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        (eSide == core::ESide::Irc ? m_ircLog : m_gameLog).push_back(strLine);
    }
    void OnStateChanged(const core::CBotState& state) override {
        std::function<void(const core::CBotState&)> onState;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_states.push_back(state);
            onState = m_onState;
        }
        if (onState) onState(state);
    }
    void OnQuickInfo(const query::CQuickInfoResult& result) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quickInfos.push_back(result);
    }
    void OnTraffic(int32_t nBytes) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_traffic.push_back(nBytes);
    }
    void OnMessage(const core::COperatorMessage& message) override { m_messages.Add(message); }
    void OnEnded() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nEnded;
    }

    std::vector<std::string> Log(core::ESide eSide) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return eSide == core::ESide::Irc ? m_ircLog : m_gameLog;
    }
    std::string LastLog(core::ESide eSide) const {
        const std::vector<std::string> log = Log(eSide);
        return log.empty() ? std::string() : log.back();
    }
    // Lines of a side's log that hold strPart.
    int CountLog(core::ESide eSide, const std::string& strPart) const {
        const std::vector<std::string> log = Log(eSide);
        return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const std::string& s) {
            return s.find(strPart) != std::string::npos;
        }));
    }
    bool WaitForLog(core::ESide eSide, const std::string& strPart,
                    std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        return WaitUntil([&] { return CountLog(eSide, strPart) > 0; }, timeout);
    }
    std::vector<core::CBotState> States() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_states;
    }
    // The last state told (the default one before any).
    core::CBotState State() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_states.empty() ? core::CBotState{} : m_states.back();
    }
    template <typename Pred>
    bool WaitForState(Pred pred,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        return WaitUntil([&] { return pred(State()); }, timeout);
    }
    std::vector<query::CQuickInfoResult> QuickInfos() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_quickInfos;
    }
    std::vector<int32_t> Traffic() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_traffic;
    }
    int Ended() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nEnded;
    }
    CRecordingMessages& Messages() { return m_messages; }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_ircLog;
    std::vector<std::string> m_gameLog;
    std::vector<core::CBotState> m_states;
    std::vector<query::CQuickInfoResult> m_quickInfos;
    std::vector<int32_t> m_traffic;
    int m_nEnded = 0;
    std::function<void(const core::CBotState&)> m_onState;
    CRecordingMessages m_messages;
};

}  // namespace testsupport
