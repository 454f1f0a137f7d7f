#pragma once
// IPv4 sockets: the only place that talks to the operating system's network
// calls (Socket.cpp on Linux, SocketWin32.cpp on Windows). A send on a
// closed connection is a failed call, never a SIGPIPE.
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class CStopSignal;

// The system's handle of a socket: a descriptor on Linux, a SOCKET (which
// starts Winsock on first use) on Windows.
#ifdef _WIN32
using NativeSocket = uintptr_t;
inline constexpr NativeSocket kNoSocket = ~NativeSocket{0};
#else
using NativeSocket = int;
inline constexpr NativeSocket kNoSocket = -1;
#endif

// Resolves a host name or a dotted IPv4 address to its first IPv4 address
// (network byte order). A dotted address never touches the network.
// Thread-safe. Returns false when nothing was found.
bool LookupHostIPv4(const std::string& strHost, uint32_t* pAddr);

// Dotted text of an address in network byte order ("127.0.0.1").
std::string AddressText(uint32_t nAddr);

// 127.0.0.1 in network byte order.
uint32_t LoopbackAddress();

enum class WaitResult { Readable, TimedOut, Failed };

// One IPv4 socket, owned: closed when destroyed. Move-only. Not shared
// between threads, except that Shutdown may be called from another thread to
// wake one blocked in Recv or WaitReadable, and that one thread may write
// with SendNow and WaitWritable while another receives.
class CSocket {
public:
    CSocket() = default;
    ~CSocket();
    CSocket(CSocket&& other) noexcept;
    CSocket& operator=(CSocket&& other) noexcept;
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;

    static CSocket CreateUdp();
    static CSocket CreateTcp();

    bool IsValid() const { return m_nFd != kNoSocket; }
    NativeSocket Handle() const { return m_nFd; }

    // Port in host byte order, address in network byte order. Blocks until
    // the peer answers or the system gives up.
    bool Connect(uint32_t nAddr, uint16_t nPort);
    // Connects within nTimeoutMs: false when refused, failed, timed out, or
    // when pStop (if given) is stopped before or while it waits. Leaves the
    // socket blocking again. Shutdown from another thread also ends the wait.
    bool Connect(uint32_t nAddr, uint16_t nPort, int nTimeoutMs,
                 const CStopSignal* pStop = nullptr);
    // Binds to the address and port (0 picks a free port); enables address reuse.
    bool Bind(uint32_t nAddr, uint16_t nPort);
    bool Listen(int nBacklog = 8);
    // Accepts one connection; an invalid socket on failure.
    CSocket Accept();
    // The bound local port (host byte order), 0 on failure.
    uint16_t LocalPort() const;

    // Returns the bytes sent or -1.
    int Send(const void* pData, size_t nLen);
    // Sends what the connection takes at once, without waiting: the bytes
    // sent, 0 when its send buffer is full, -1 on failure.
    int SendNow(const void* pData, size_t nLen);
    int Send(const std::string& str) { return Send(str.data(), str.size()); }
    // UDP: sends one datagram to the given peer (unconnected sockets).
    int SendTo(const void* pData, size_t nLen, uint32_t nAddr, uint16_t nPort);

    // Receives into a buffer of nCap bytes. Returns the bytes received, 0 at
    // the end of a stream, -1 on failure. For datagrams, *pTruncated (if given)
    // tells whether the datagram was longer than nCap; its excess is lost.
    int Recv(void* pBuf, size_t nCap, bool* pTruncated = nullptr);
    // UDP: receives one datagram and tells who sent it.
    int RecvFrom(void* pBuf, size_t nCap, uint32_t* pAddr, uint16_t* pPort,
                 bool* pTruncated = nullptr);

    // Makes a blocking receive fail after nMs without data. A datagram that
    // made the socket readable can still be dropped (bad checksum) before the
    // receive takes it; this bounds that receive instead of blocking for good.
    bool SetRecvTimeout(int nMs);

    // Waits up to nTimeoutMs until the socket is readable (data, end of
    // stream, or a pending error).
    WaitResult WaitReadable(int nTimeoutMs) const;
    // Waits up to nTimeoutMs until a send would take bytes (or fail at once).
    // False when the time ran out.
    bool WaitWritable(int nTimeoutMs) const;
    // Caps what the system buffers for sending, so that a peer that stops
    // reading is noticed after kilobytes, not megabytes.
    bool SetSendBuffer(int nBytes);

    // Wakes a thread blocked on this socket; further reads see the end.
    void Shutdown();
    void Close();

private:
    CSocket(NativeSocket nFd, bool bDatagram) : m_nFd(nFd), m_bDatagram(bDatagram) {}
    NativeSocket m_nFd = kNoSocket;
    bool m_bDatagram = false;
};

}  // namespace platform
