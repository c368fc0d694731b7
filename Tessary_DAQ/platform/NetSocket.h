// TCP sockets for the monitor's server: a listening socket, waits with a
// time limit, sends and receives that never block, the two ends'
// addresses, and a shutdown that wakes a thread waiting on a socket. One
// implementation file per operating system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessary::platform {

// A socket: the descriptor on POSIX systems, the SOCKET on Windows.
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// A socket listening on `address` (a numeric IPv4 or IPv6 address or a
// host name) and `port` (0: a free port the system picks), with room for
// `backlog` connections not yet accepted. False with a one-line reason
// ("cannot listen on 127.0.0.1:8080: Address already in use").
bool ListenTcp(const std::string& address, int port, int backlog, SocketHandle& socket, std::string& error);

// The address and port of this end, or of the peer. False when the
// system cannot say (the socket is closed).
bool LocalAddress(SocketHandle socket, std::string& ip, int& port);
bool PeerAddress(SocketHandle socket, std::string& ip, int& port);

enum class SocketWait { Ready, TimedOut, Failed };
// Waits up to timeoutMs (0: not at all) until the socket has something to
// read (or its peer closed it, or it was shut down), or until it can take
// more to send.
SocketWait WaitReadable(SocketHandle socket, int timeoutMs);
SocketWait WaitWritable(SocketHandle socket, int timeoutMs);

// What Receive and Send answer when the socket has nothing to give or no
// room now.
inline constexpr long kWouldBlock = -2;
// Up to `size` bytes without waiting: how many, 0 when the peer closed
// its end, kWouldBlock, or -1 on an error.
long Receive(SocketHandle socket, char* data, std::size_t size);
// Up to `size` bytes without waiting and without a signal when the peer is
// gone: how many, kWouldBlock, or -1 on an error.
long Send(SocketHandle socket, const char* data, std::size_t size);

// True when the peer has closed the connection or it failed; bytes the
// peer sent are left to read.
bool PeerClosed(SocketHandle socket);

// Ends both directions (every thread waiting on the socket wakes and its
// reads and sends fail), or only the sending one; the socket stays open.
void ShutdownSocket(SocketHandle socket);
void ShutdownSending(SocketHandle socket);
void CloseSocket(SocketHandle socket);

}  // namespace tessary::platform
