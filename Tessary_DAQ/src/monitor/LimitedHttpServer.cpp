#include "LimitedHttpServer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <system_error>
#include <thread>

#include "Clock.h"

namespace tessary::monitor {
namespace {

using platform::SocketHandle;
using platform::SocketWait;

thread_local bool* tCloseAfter = nullptr;

// Sends all of `data` within timeoutMs at most for each wait; false when the
// peer is gone or does not read.
bool SendAll(SocketHandle socket, const char* data, std::size_t size, int timeoutMs) {
    std::size_t done = 0;
    while (done < size) {
        const long sent = platform::Send(socket, data + done, size - done);
        if (sent == platform::kWouldBlock) {
            if (platform::WaitWritable(socket, timeoutMs) != SocketWait::Ready) return false;
            continue;
        }
        if (sent <= 0) return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

// Closes a connection after its last response. What the peer still sends is
// read and dropped for up to lingerMs first, so that the close does not
// reset the connection before the peer has read the response.
void LingeringClose(SocketHandle socket, int lingerMs) {
    platform::ShutdownSending(socket);
    const int64_t until = platform::MonotonicMs() + lingerMs;
    char scratch[4096];
    for (std::size_t drained = 0; drained < 64 * 1024;) {
        const long got = platform::Receive(socket, scratch, sizeof scratch);
        if (got == platform::kWouldBlock) {
            const int64_t left = until - platform::MonotonicMs();
            if (left <= 0 || platform::WaitReadable(socket, static_cast<int>(left)) != SocketWait::Ready) break;
            continue;
        }
        if (got <= 0) break;
        drained += static_cast<std::size_t>(got);
    }
    platform::CloseSocket(socket);
}

// Threads for the connections, started as they are needed up to a number;
// the accepted connections wait in a queue of bounded length, and the
// accepting thread waits while it is full (the system then holds the next
// ones back), unless the server stops.
class BoundedPool final : public httplib::TaskQueue {
public:
    BoundedPool(std::size_t threads, std::size_t queued, const std::atomic<bool>& stopping)
        : maxThreads_(std::max<std::size_t>(threads, 1)), maxQueued_(std::max<std::size_t>(queued, 1)),
          stopping_(stopping) {}
    ~BoundedPool() override { shutdown(); }

    void enqueue(std::function<void()> job) override {
        std::unique_lock lock(mutex_);
        while (jobs_.size() >= maxQueued_ && !shutdown_ && !stopping_)
            room_.wait_for(lock, std::chrono::milliseconds(100));
        jobs_.push_back(std::move(job));
        // A thread for each waiting job that no idle thread will take.
        if (jobs_.size() > idle_ && threads_.size() < maxThreads_) {
            ++idle_;
            try {
                threads_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                --idle_;  // the system has no thread to give: the running ones take the job
            }
        }
        work_.notify_one();
    }

    void shutdown() override {
        std::vector<std::thread> threads;
        {
            std::lock_guard lock(mutex_);
            shutdown_ = true;
            threads.swap(threads_);
        }
        work_.notify_all();
        room_.notify_all();
        for (std::thread& thread : threads) thread.join();
    }

private:
    // Counted idle from its start until it takes a job, and again after it.
    void Work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            work_.wait(lock, [&] { return !jobs_.empty() || shutdown_; });
            if (jobs_.empty()) {
                --idle_;
                return;
            }
            std::function<void()> job = std::move(jobs_.front());
            jobs_.pop_front();
            --idle_;
            room_.notify_one();
            lock.unlock();
            job();
            job = nullptr;
            lock.lock();
            ++idle_;
        }
    }

    const std::size_t maxThreads_;
    const std::size_t maxQueued_;
    const std::atomic<bool>& stopping_;
    std::mutex mutex_;
    std::condition_variable work_, room_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> threads_;
    std::size_t idle_ = 0;
    bool shutdown_ = false;
};

}  // namespace

// The library's view of a connection: reads through a buffer, at most the
// request's bytes and within its time, and writes that wait for room as
// long as a client may stay silent.
class LimitedHttpServer::Stream final : public httplib::Stream {
public:
    Stream(SocketHandle socket, const ConnectionLimits& limits, const std::atomic<bool>& stopping)
        : socket_(socket), limits_(limits), stopping_(stopping) {}

    bool Buffered() const { return begin_ < end_; }
    void BeginRequest() {
        requestBytes_ = 0;
        overflowed_ = false;
        deadlineMs_ = platform::MonotonicMs() + limits_.silenceMs;
    }
    bool Overflowed() const { return overflowed_; }

    bool is_readable() const override {
        return Buffered() || platform::WaitReadable(socket_, RemainingMs()) == SocketWait::Ready;
    }
    bool is_writable() const override {
        return !overflowed_ && !stopping_ && !platform::PeerClosed(socket_) &&
               platform::WaitWritable(socket_, limits_.silenceMs) == SocketWait::Ready;
    }

    ssize_t read(char* data, size_t size) override {
        if (overflowed_) return -1;
        if (requestBytes_ >= limits_.maxRequestBytes) {
            overflowed_ = true;
            return -1;
        }
        while (!Buffered()) {
            const int left = RemainingMs();
            if (stopping_ || left <= 0 || platform::WaitReadable(socket_, left) != SocketWait::Ready) return -1;
            const long got = platform::Receive(socket_, buffer_, sizeof buffer_);
            if (got == platform::kWouldBlock) continue;
            if (got <= 0) return got == 0 ? 0 : -1;
            begin_ = 0;
            end_ = static_cast<std::size_t>(got);
        }
        const std::size_t n = std::min({size, end_ - begin_, limits_.maxRequestBytes - requestBytes_});
        std::memcpy(data, buffer_ + begin_, n);
        begin_ += n;
        requestBytes_ += n;
        return static_cast<ssize_t>(n);
    }

    ssize_t write(const char* data, size_t size) override {
        // A request over the limit is answered 413 instead.
        if (overflowed_) return static_cast<ssize_t>(size);
        if (stopping_ || !SendAll(socket_, data, size, limits_.silenceMs)) return -1;
        return static_cast<ssize_t>(size);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        if (!platform::PeerAddress(socket_, ip, port)) port = -1;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        if (!platform::LocalAddress(socket_, ip, port)) port = -1;
    }
    socket_t socket() const override { return static_cast<socket_t>(socket_); }

private:
    int RemainingMs() const {
        const int64_t left = deadlineMs_ - platform::MonotonicMs();
        return static_cast<int>(std::clamp<int64_t>(left, 0, limits_.silenceMs));
    }

    const SocketHandle socket_;
    const ConnectionLimits& limits_;
    const std::atomic<bool>& stopping_;
    char buffer_[4096];
    std::size_t begin_ = 0, end_ = 0;
    std::size_t requestBytes_ = 0;
    bool overflowed_ = false;
    int64_t deadlineMs_ = 0;
};

LimitedHttpServer::LimitedHttpServer(const ConnectionLimits& limits) : limits_(limits) {
    connections_.reserve(limits_.maxConnections);
    new_task_queue = [this] { return new BoundedPool(limits_.threads, limits_.queued, stopping_); };
    // Only for the headers the library writes: this class keeps the times.
    set_keep_alive_timeout(limits_.silenceMs / 1000);
    set_keep_alive_max_count(1000);
    set_read_timeout(limits_.silenceMs / 1000);
    set_write_timeout(limits_.silenceMs / 1000);
    set_payload_max_length(limits_.maxRequestBytes);
}

LimitedHttpServer::~LimitedHttpServer() { StopServing(); }

bool LimitedHttpServer::Bind(const std::string& address, int port, std::string& error) {
    SocketHandle socket = platform::kNoSocket;
    if (!platform::ListenTcp(address, port, 128, socket, error)) return false;
    if (!platform::LocalAddress(socket, boundAddress_, boundPort_)) {
        platform::CloseSocket(socket);
        error = "cannot listen on " + address + ": the bound address is unknown";
        return false;
    }
    svr_sock_ = static_cast<socket_t>(socket);
    return true;
}

void LimitedHttpServer::Serve() { listen_after_bind(); }

void LimitedHttpServer::StopServing() {
    stopping_ = true;
    {
        std::lock_guard lock(mutex_);
        for (Connection* connection : connections_) platform::ShutdownSocket(connection->socket);
    }
    const socket_t listening = svr_sock_.exchange(INVALID_SOCKET);
    if (listening != INVALID_SOCKET) {
        platform::ShutdownSocket(listening);
        platform::CloseSocket(listening);
    }
}

void LimitedHttpServer::CloseAfterResponse() {
    if (tCloseAfter != nullptr) *tCloseAfter = true;
}

std::size_t LimitedHttpServer::OpenConnections() const {
    std::lock_guard lock(mutex_);
    return connections_.size();
}

bool LimitedHttpServer::Admit(Connection& connection) {
    std::lock_guard lock(mutex_);
    if (stopping_) return false;
    if (connections_.size() >= limits_.maxConnections) {
        Connection* longestIdle = nullptr;
        for (Connection* c : connections_)
            if (!c->busy && (longestIdle == nullptr || c->idleSinceMs < longestIdle->idleSinceMs)) longestIdle = c;
        if (longestIdle == nullptr) return false;
        // Woken by the shutdown, it sees that it was evicted and closes.
        longestIdle->evicted = true;
        longestIdle->registered = false;
        platform::ShutdownSocket(longestIdle->socket);
        connections_.erase(std::find(connections_.begin(), connections_.end(), longestIdle));
    }
    connection.registered = true;
    connection.idleSinceMs = platform::MonotonicMs();
    connections_.push_back(&connection);
    return true;
}

bool LimitedHttpServer::StartRequest(Connection& connection) {
    std::lock_guard lock(mutex_);
    if (connection.evicted || stopping_) return false;
    connection.busy = true;
    connection.closeAfter = false;
    return true;
}

bool LimitedHttpServer::EndRequest(Connection& connection) {
    std::lock_guard lock(mutex_);
    connection.busy = false;
    connection.idleSinceMs = platform::MonotonicMs();
    return !connection.evicted && !stopping_;
}

void LimitedHttpServer::Release(Connection& connection) {
    std::lock_guard lock(mutex_);
    if (!connection.registered) return;
    connection.registered = false;
    connections_.erase(std::find(connections_.begin(), connections_.end(), &connection));
}

void LimitedHttpServer::Refuse(SocketHandle socket, int status, const char* reason) const {
    const std::string body = std::string(reason) + "\n";
    const std::string response = "HTTP/1.1 " + std::to_string(status) +
                                 (status == 413 ? " Payload Too Large" : " Service Unavailable") +
                                 "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                                 std::to_string(body.size()) +
                                 "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + body;
    SendAll(socket, response.data(), response.size(), 1000);
}

bool LimitedHttpServer::process_and_close_socket(socket_t sock) {
    const SocketHandle socket = static_cast<SocketHandle>(sock);
    Connection connection;
    connection.socket = socket;
    if (!Admit(connection)) {
        if (!stopping_) Refuse(socket, 503, "too many connections: try again later");
        LingeringClose(socket, stopping_ ? 0 : 100);
        return false;
    }
    Stream stream(socket, limits_, stopping_);
    int lingerMs = 0;
    tCloseAfter = &connection.closeAfter;
    for (;;) {
        // Idle: waiting for the next request, which may evict it.
        if (!stream.Buffered() &&
            platform::WaitReadable(socket, limits_.silenceMs) != SocketWait::Ready)
            break;
        if (!StartRequest(connection)) break;
        stream.BeginRequest();
        bool closed = false;
        const bool answered = process_request(stream, stopping_, closed, [](httplib::Request& request) {
            // Ranges could multiply a response: every answer is whole. And
            // none is compressed: the library's brotli works at its highest
            // quality, which costs more time than the monitor may take.
            request.ranges.clear();
            request.headers.erase("Accept-Encoding");
        });
        if (stream.Overflowed()) {
            const std::string reason =
                "the request is over the limit of " + std::to_string(limits_.maxRequestBytes) + " bytes";
            Refuse(socket, 413, reason.c_str());
            lingerMs = 100;
            break;
        }
        if (connection.closeAfter) lingerMs = 100;
        if (!answered || closed || connection.closeAfter || !EndRequest(connection)) break;
    }
    tCloseAfter = nullptr;
    Release(connection);
    LingeringClose(socket, lingerMs);
    return true;
}

}  // namespace tessary::monitor
