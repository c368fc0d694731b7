// TCP sockets on Windows: Winsock, started once for the process. Windows
// has no per-call "don't wait" flag, so Receive and Send switch the socket
// to non-blocking around the call; the sockets here are blocking otherwise
// (the listening one is made so, and accepted ones inherit its mode).

#include "NetSocket.h"

#include <climits>
#include <mutex>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

#include "WindowsNames.h"

namespace tessary::platform {
namespace {

SOCKET Sock(SocketHandle socket) { return static_cast<SOCKET>(socket); }

void StartWinsock() {
    static std::once_flag started;
    std::call_once(started, [] {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

// The system's text for a Winsock error, without its closing period and
// line end, to fit the one-line reasons.
std::string ErrorText(int code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = length > 0 ? windows::Narrow(std::wstring_view(text, length)) : std::string();
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(code) : message;
}

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
    WSAPOLLFD entry{Sock(socket), events, 0};
    const int ready = WSAPoll(&entry, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (ready < 0 || (ready > 0 && (entry.revents & POLLNVAL) != 0)) return SocketWait::Failed;
    return ready == 0 ? SocketWait::TimedOut : SocketWait::Ready;
}

// Non-blocking for the life of the object, blocking again afterwards.
class NonBlocking {
public:
    explicit NonBlocking(SOCKET socket) : socket_(socket) { Set(1); }
    ~NonBlocking() { Set(0); }
    NonBlocking(const NonBlocking&) = delete;
    NonBlocking& operator=(const NonBlocking&) = delete;

private:
    void Set(u_long on) { ioctlsocket(socket_, FIONBIO, &on); }
    SOCKET socket_;
};

}  // namespace

bool ListenTcp(const std::string& address, int port, int backlog, SocketHandle& socket, std::string& error) {
    StartWinsock();
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
        error = "cannot listen on " + where + ": " + ErrorText(resolved);
        return false;
    }
    int lastError = WSAEADDRNOTAVAIL;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const SOCKET s = WSASocketW(a->ai_family, a->ai_socktype, a->ai_protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
        if (s == INVALID_SOCKET) {
            lastError = WSAGetLastError();
            continue;
        }
        // Windows lets a second program bind a port in use unless told not
        // to; a port in TIME_WAIT is free again without SO_REUSEADDR.
        const BOOL yes = TRUE;
        setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
        const DWORD v6only = 1;
        if (a->ai_family == AF_INET6)
            setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&v6only), sizeof v6only);
        if (bind(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0 && listen(s, backlog) == 0) {
            freeaddrinfo(found);
            socket = static_cast<SocketHandle>(s);
            return true;
        }
        lastError = WSAGetLastError();
        closesocket(s);
    }
    freeaddrinfo(found);
    error = "cannot listen on " + where + ": " + ErrorText(lastError);
    return false;
}

bool LocalAddress(SocketHandle socket, std::string& ip, int& port) {
    sockaddr_storage address{};
    int length = sizeof address;
    return getsockname(Sock(socket), reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
           AddressText(address, ip, port);
}

bool PeerAddress(SocketHandle socket, std::string& ip, int& port) {
    sockaddr_storage address{};
    int length = sizeof address;
    return getpeername(Sock(socket), reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
           AddressText(address, ip, port);
}

SocketWait WaitReadable(SocketHandle socket, int timeoutMs) { return Wait(socket, POLLRDNORM, timeoutMs); }

SocketWait WaitWritable(SocketHandle socket, int timeoutMs) { return Wait(socket, POLLWRNORM, timeoutMs); }

long Receive(SocketHandle socket, char* data, std::size_t size) {
    const NonBlocking mode(Sock(socket));
    const int got = recv(Sock(socket), data, static_cast<int>(size < INT_MAX ? size : INT_MAX), 0);
    if (got == SOCKET_ERROR) return WSAGetLastError() == WSAEWOULDBLOCK ? kWouldBlock : -1;
    return got;
}

// Windows raises no signal for a peer that is gone: the send just fails.
long Send(SocketHandle socket, const char* data, std::size_t size) {
    const NonBlocking mode(Sock(socket));
    const int sent = send(Sock(socket), data, static_cast<int>(size < INT_MAX ? size : INT_MAX), 0);
    if (sent == SOCKET_ERROR) return WSAGetLastError() == WSAEWOULDBLOCK ? kWouldBlock : -1;
    return sent;
}

bool PeerClosed(SocketHandle socket) {
    char byte = 0;
    const NonBlocking mode(Sock(socket));
    const int got = recv(Sock(socket), &byte, 1, MSG_PEEK);
    if (got > 0) return false;
    return got == 0 || WSAGetLastError() != WSAEWOULDBLOCK;
}

void ShutdownSocket(SocketHandle socket) { shutdown(Sock(socket), SD_BOTH); }

void ShutdownSending(SocketHandle socket) { shutdown(Sock(socket), SD_SEND); }

void CloseSocket(SocketHandle socket) { closesocket(Sock(socket)); }

}  // namespace tessary::platform

