// TCP sockets on POSIX systems: poll for the waits, MSG_DONTWAIT and
// MSG_NOSIGNAL for the transfers.
#include "NetSocket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tessary::platform {
namespace {

int Fd(SocketHandle socket) { return static_cast<int>(socket); }

bool AddressText(const sockaddr_storage& address, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address);
        if (inet_ntop(AF_INET, &in.sin_addr, text, sizeof text) == nullptr) return false;
        port = ntohs(in.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
        if (inet_ntop(AF_INET6, &in6.sin6_addr, text, sizeof text) == nullptr) return false;
        port = ntohs(in6.sin6_port);
    } else {
        return false;
    }
    ip = text;
    return true;
}

SocketWait Wait(SocketHandle socket, short events, int timeoutMs) {
    pollfd entry{Fd(socket), events, 0};
    int ready = -1;
    do ready = poll(&entry, 1, timeoutMs < 0 ? 0 : timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (ready < 0 || (ready > 0 && (entry.revents & POLLNVAL) != 0)) return SocketWait::Failed;
    return ready == 0 ? SocketWait::TimedOut : SocketWait::Ready;
}

}  // namespace

bool ListenTcp(const std::string& address, int port, int backlog, SocketHandle& socket, std::string& error) {
    socket = kNoSocket;
    const std::string where = (address.find(':') != std::string::npos ? "[" + address + "]" : address) + ":" +
                              std::to_string(port);
    if (port < 0 || port > 65535) {
        error = "cannot listen on " + where + ": the port is out of range (0..65535)";
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int resolved = getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (resolved != 0) {
        error = "cannot listen on " + where + ": " + gai_strerror(resolved);
        return false;
    }
    int lastError = EADDRNOTAVAIL;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        const int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (a->ai_family == AF_INET6) setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &yes, sizeof yes);
        if (bind(fd, a->ai_addr, a->ai_addrlen) == 0 && listen(fd, backlog) == 0) {
            freeaddrinfo(found);
            socket = fd;
            return true;
        }
        lastError = errno;
        close(fd);
    }
    freeaddrinfo(found);
    error = "cannot listen on " + where + ": " + std::strerror(lastError);
    return false;
}

bool LocalAddress(SocketHandle socket, std::string& ip, int& port) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    return getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
           AddressText(address, ip, port);
}

bool PeerAddress(SocketHandle socket, std::string& ip, int& port) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    return getpeername(Fd(socket), reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
           AddressText(address, ip, port);
}

SocketWait WaitReadable(SocketHandle socket, int timeoutMs) { return Wait(socket, POLLIN, timeoutMs); }

SocketWait WaitWritable(SocketHandle socket, int timeoutMs) { return Wait(socket, POLLOUT, timeoutMs); }

long Receive(SocketHandle socket, char* data, std::size_t size) {
    ssize_t got = -1;
    do got = recv(Fd(socket), data, size, MSG_DONTWAIT);
    while (got < 0 && errno == EINTR);
    if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? kWouldBlock : -1;
    return static_cast<long>(got);
}

long Send(SocketHandle socket, const char* data, std::size_t size) {
    ssize_t sent = -1;
    do sent = send(Fd(socket), data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    if (sent < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? kWouldBlock : -1;
    return static_cast<long>(sent);
}

bool PeerClosed(SocketHandle socket) {
    char byte = 0;
    ssize_t got = -1;
    do got = recv(Fd(socket), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    while (got < 0 && errno == EINTR);
    if (got > 0) return false;
    return got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
}

void ShutdownSocket(SocketHandle socket) { shutdown(Fd(socket), SHUT_RDWR); }

void ShutdownSending(SocketHandle socket) { shutdown(Fd(socket), SHUT_WR); }

void CloseSocket(SocketHandle socket) { close(Fd(socket)); }

}  // namespace tessary::platform
