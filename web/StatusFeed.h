#pragma once
// The live status for the event streams: the core publishes, each stream
// sends the newest it has not sent. Only the newest status is kept, as
// JSON made once for every stream, so a stream that falls behind skips to
// the newest instead of queueing; memory does not grow with slow readers.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "web/WebModel.h"

namespace web {

class CStatusFeed {
public:
    struct CNext {
        uint64_t m_nSeq = 0;                        // 0: nothing published yet
        std::shared_ptr<const std::string> m_pJson;  // null when nothing newer came
        bool m_bClosed = false;
    };

    // Replaces the status. Any thread; never waits on a stream.
    void Publish(CWebStatus status);
    // Waits up to nMs for a status newer than nSeen, or for Close().
    CNext WaitNewer(uint64_t nSeen, int nMs);
    // The number of the newest status published (0: none yet).
    uint64_t Seq() const;
    // Ends every wait, now and later, until Open().
    void Close();
    void Open();

    // Streams at once, at most nMax; any thread.
    bool TryAddStream(int nMax);
    void RemoveStream();
    int Streams() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    uint64_t m_nSeq = 0;
    std::optional<CWebStatus> m_pending;  // published, not yet made JSON
    std::shared_ptr<const std::string> m_pJson;
    bool m_bClosed = false;
    int m_nStreams = 0;
};

}  // namespace web
