#include "core/TrafficMeter.h"

#include <utility>

#include "platform/Text.h"
#include "platform/ThreadName.h"

namespace core {

std::string TrafficText(int32_t nBytes) {
    return "Traffic: " + platform::IntToText(nBytes / 1000) + " kb/s";
}

CTrafficMeter::CTrafficMeter(std::atomic<int32_t>& nTrafficBytes, BytesFn fnBytes,
                             platform::CClock& clock)
    : m_nTrafficBytes(nTrafficBytes), m_fnBytes(std::move(fnBytes)), m_clock(clock) {}

CTrafficMeter::~CTrafficMeter() {
    Stop();
}

bool CTrafficMeter::Start() {
    std::lock_guard<std::mutex> lock(m_mutexThread);
    if (m_thread.joinable()) return false;
    m_stop.Reset();
    m_bRunning.store(true);
    m_thread = std::thread([this] { TrafficThread(); });
    return true;
}

void CTrafficMeter::Stop() {
    std::lock_guard<std::mutex> lock(m_mutexThread);
    if (!m_thread.joinable()) return;
    m_stop.Stop();
    m_thread.join();
}

int32_t CTrafficMeter::Tick() {
    const int32_t nBytes = m_nTrafficBytes.exchange(0);
    if (m_fnBytes) m_fnBytes(nBytes);
    return nBytes;
}

void CTrafficMeter::TrafficThread() {
    platform::NameThisThread("traffic");
    while (m_clock.Sleep(kTickMs, &m_stop)) Tick();
    m_bRunning.store(false);
}

}  // namespace core
