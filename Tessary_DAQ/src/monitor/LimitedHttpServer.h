// cpp-httplib's server held to the monitor's limits. The library parses
// requests, routes them and writes the responses; this class keeps the
// connections: a pool of threads of bounded size with a bounded queue,
// at most maxConnections at once (a new one takes the place of the
// connection longest idle between two requests, or is answered 503 when
// every one is inside a request), a request of at most maxRequestBytes
// (request line, headers and body; over it 413 and the connection closed),
// and a client silent for silenceMs, or slower than that with a whole
// request, dropped. Its own stream over the socket waits with poll, so
// that none of this depends on the library's socket code.
#pragma once

#include <httplib.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "NetSocket.h"

namespace tessary::monitor {

struct ConnectionLimits {
    std::size_t maxConnections = 64;
    std::size_t maxRequestBytes = 8192;
    int silenceMs = 10000;
    std::size_t threads = 72;  // the connections and a few spare to refuse or evict
    std::size_t queued = 128;  // accepted connections waiting for a thread
};

class LimitedHttpServer : public httplib::Server {
public:
    explicit LimitedHttpServer(const ConnectionLimits& limits = {});
    ~LimitedHttpServer() override;

    // Opens the listening socket: false with a one-line reason.
    bool Bind(const std::string& address, int port, std::string& error);
    // The address and port bound (the port the system picked for 0).
    const std::string& BoundAddress() const { return boundAddress_; }
    int BoundPort() const { return boundPort_; }

    // Serves on the calling thread until StopServing, and returns once
    // every connection's thread has ended.
    void Serve();
    // From any thread: no new request is taken, every connection is woken
    // (its waits and writes fail) and the listening socket is closed.
    void StopServing();
    bool Stopping() const { return stopping_; }

    // From a handler: the connection closes after this response.
    static void CloseAfterResponse();
    std::size_t OpenConnections() const;

private:
    struct Connection {
        platform::SocketHandle socket = platform::kNoSocket;
        bool busy = false;         // inside a request
        bool registered = false;   // counted among the open connections
        bool evicted = false;      // a newer connection took its place
        bool closeAfter = false;   // a handler asked to close after its response
        int64_t idleSinceMs = 0;
    };
    class Stream;

    bool process_and_close_socket(socket_t sock) override;
    bool Admit(Connection& connection);
    bool StartRequest(Connection& connection);
    bool EndRequest(Connection& connection);
    void Release(Connection& connection);
    void Refuse(platform::SocketHandle socket, int status, const char* reason) const;

    const ConnectionLimits limits_;
    std::atomic<bool> stopping_{false};
    std::string boundAddress_;
    int boundPort_ = 0;
    mutable std::mutex mutex_;
    std::vector<Connection*> connections_;
};

}  // namespace tessary::monitor
