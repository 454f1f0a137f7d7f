#pragma once
// A stand-in for systemd's end of the notification protocol, for tests: a
// datagram socket named as NOTIFY_SOCKET names it (a path, or '@' and an
// abstract name), from which the test reads each message and who sent it.
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>

namespace testsupport {

// The manager's end: a bound datagram socket that asks the kernel for each
// sender's credentials, as systemd does to tell the main process's
// messages from others'.
class CNotifyStandIn {
public:
    // strName as NOTIFY_SOCKET holds it: a path, or '@' and an abstract name.
    explicit CNotifyStandIn(const std::string& strName) {
        m_nSocket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (m_nSocket < 0) return;
        const int nOn = 1;
        ::setsockopt(m_nSocket, SOL_SOCKET, SO_PASSCRED, &nOn, sizeof nOn);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::string strPath = strName;
        if (strPath[0] == '@') strPath[0] = '\0';
        std::memcpy(addr.sun_path, strPath.data(), strPath.size());
        const auto nLen = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + strPath.size());
        m_bBound = ::bind(m_nSocket, reinterpret_cast<sockaddr*>(&addr), nLen) == 0;
    }
    ~CNotifyStandIn() {
        if (m_nSocket >= 0) ::close(m_nSocket);
    }
    CNotifyStandIn(const CNotifyStandIn&) = delete;
    CNotifyStandIn& operator=(const CNotifyStandIn&) = delete;

    bool IsBound() const { return m_bBound; }

    // The next datagram, waiting up to nMs; nothing when none came.
    std::optional<std::string> Next(int nMs = 5000) {
        pollfd pfd{m_nSocket, POLLIN, 0};
        if (::poll(&pfd, 1, nMs) != 1) return std::nullopt;
        char buf[4096];
        iovec iov{buf, sizeof buf};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(m_nSocket, &msg, MSG_DONTWAIT);
        if (n < 0) return std::nullopt;
        m_nSenderPid = -1;
        for (cmsghdr* p = CMSG_FIRSTHDR(&msg); p != nullptr; p = CMSG_NXTHDR(&msg, p)) {
            if (p->cmsg_level == SOL_SOCKET && p->cmsg_type == SCM_CREDENTIALS) {
                ucred cred{};
                std::memcpy(&cred, CMSG_DATA(p), sizeof cred);
                m_nSenderPid = cred.pid;
            }
        }
        return std::string(buf, static_cast<size_t>(n));
    }
    // The process that sent the datagram Next() returned last.
    pid_t SenderPid() const { return m_nSenderPid; }

private:
    int m_nSocket = -1;
    bool m_bBound = false;
    pid_t m_nSenderPid = -1;
};

}  // namespace testsupport
