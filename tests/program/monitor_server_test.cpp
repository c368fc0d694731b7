// The monitor's HTTP server against a feed with a hand-made status: who may
// read and control, the limits on requests and connections, the metrics as
// a strict exposition-format parser reads them, and the JSON's figures.
// Every request goes to 127.0.0.1.
#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "BoardCounters.h"
#include "Clock.h"
#include "Console.h"
#include "MonitorFeed.h"
#include "MonitorServer.h"
#include "MonitorToken.h"
#include "PrivateFile.h"

namespace tessary::monitor {
namespace {

using Clock = std::chrono::steady_clock;
constexpr char kToken[] = "00112233445566778899aabbccddeeff";
constexpr char kModel[] = "DT5780 \"A\"\\1";  // quotes and a backslash to escape
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

RunStatus MadeStatus() {
    RunStatus s;
    s.state = RunState::Waiting;
    s.configPath = "examples/demo.cfg";
    s.version = "0.1.0";
    BoardStatus b;
    b.board = 0;
    b.model = kModel;
    b.channelCount = 16;
    b.printed = true;
    b.figures.noData = false;
    b.figures.throughputMBps = 2.5;
    b.figures.detectedKHz = kNaN;
    b.figures.processedKHz = 1.25;
    b.figures.pileUpKHz = kInf;
    b.events = 123456;
    b.bytes = 9876543210;
    b.triggers = 130000;
    b.triggersLost = 17;
    b.pileUpEvents = 5;
    b.saturated = 3;
    b.writtenBytes[kRawFile] = 1000;
    b.writtenBytes[kListFile] = 2000;
    b.liveTimeS = 10;
    b.deadTimeS = 2.5;
    s.boards.push_back(b);
    BoardStatus c;
    c.board = 1;
    c.model = "DT5781";
    c.channelCount = 8;
    s.boards.push_back(c);
    s.disk.known = true;
    s.disk.freeBytes = 5000000000;
    return s;
}

// Plays the run loop: takes the keys sent from the server, acts on s, and
// publishes the status they led to.
class RunLoop {
public:
    RunLoop(MonitorFeed& feed, RunStatus status) : feed_(feed), status_(std::move(status)) {
        thread_ = std::thread([this] {
            while (!done_) {
                const int key = feed_.Keys().Take();
                if (key == platform::kUnknownKey) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    continue;
                }
                if (key == 's')
                    status_.state = status_.state == RunState::Acquiring ? RunState::Stopped : RunState::Acquiring;
                {
                    std::lock_guard lock(mutex_);
                    keys_.push_back(key);
                }
                feed_.Publish(status_);
                feed_.Keys().HandledTaken();
            }
        });
    }
    ~RunLoop() {
        done_ = true;
        thread_.join();
    }
    std::vector<int> Keys() {
        std::lock_guard lock(mutex_);
        return keys_;
    }

private:
    MonitorFeed& feed_;
    RunStatus status_;
    std::atomic<bool> done_{false};
    std::mutex mutex_;
    std::vector<int> keys_;
    std::thread thread_;
};

int Connect(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    if (fd >= 0) close(fd);
    return -1;
}

// Reads until `until` appears, the server closes or 5 s pass.
std::string ReadFrom(int fd, const std::string& until = "") {
    timeval timeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string got;
    char buffer[4096];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        got.append(buffer, static_cast<size_t>(n));
        if (!until.empty() && got.find(until) != std::string::npos) break;
    }
    return got;
}

// One request as written, for what a client library would not send.
std::string RawExchange(int port, const std::string& request) {
    const int fd = Connect(port);
    if (fd < 0) return "no connection";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string reply = ReadFrom(fd);
    close(fd);
    return reply;
}

class MonitorServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        feed_.SetBoards({16, 8});
        feed_.Publish(MadeStatus());
        ASSERT_EQ(AllocCounterSpectra(counters_), 0);
        counters_.spectrum[3][100] = 42;
        counters_.spectrum[3][kSpectrumBins - 1] = 7;
        const char line[] = "Acquisition started\n";
        feed_.Messages().Write(line, sizeof line - 1);
    }

    std::unique_ptr<MonitorServer> Started(const std::string& address = "127.0.0.1", bool metricsOpen = false) {
        auto server = std::make_unique<MonitorServer>(feed_);
        std::string error;
        EXPECT_TRUE(server->Start({address, 0, metricsOpen, kToken}, error)) << error;
        EXPECT_GT(server->Port(), 0);
        return server;
    }

    static httplib::Result Send(int port, const std::string& method, const std::string& path,
                                const httplib::Headers& headers = {}) {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(10);
        httplib::Request request;
        request.method = method;
        request.path = path;
        request.headers = headers;
        return client.send(request);
    }

    MonitorFeed feed_;
    BoardCounters counters_;
};

httplib::Headers Bearer(const std::string& token) { return {{"Authorization", "Bearer " + token}}; }

struct AccessCase {
    const char* name;
    const char* method;
    std::string path;
    httplib::Headers headers;
    int status;
    std::vector<int> keysAfter;  // the keys the run loop has taken by then
};

TEST_F(MonitorServerTest, LoopbackAccessControlAndParameters) {
    RunLoop loop(feed_, MadeStatus());
    const auto server = Started();
    const int port = server->Port();
    EXPECT_EQ(server->PageAddress(), "http://127.0.0.1:" + std::to_string(port) + "/");
    const httplib::Headers evilHost = {{"Host", "attacker.example:" + std::to_string(port)}};
    const std::vector<AccessCase> cases = {
        {"control without the token", "POST", "/api/trigger", {}, 401, {}},
        {"control with a wrong token", "POST", "/api/start", Bearer(std::string(32, 'f')), 401, {}},
        {"control with the token as a parameter", "POST", std::string("/api/start?token=") + kToken, {}, 401, {}},
        {"start with the token", "POST", "/api/start", Bearer(kToken), 200, {'s'}},
        {"start again while acquiring", "POST", "/api/start", Bearer(kToken), 409, {'s'}},
        {"trigger with the token", "POST", "/api/trigger", Bearer(kToken), 200, {'s', 't'}},
        {"reads are open on the loopback", "GET", "/api/status", {}, 200, {'s', 't'}},
        {"page", "GET", "/", {}, 200, {'s', 't'}},
        {"another site's host name", "GET", "/api/status", evilHost, 403, {'s', 't'}},
        {"board not a number", "GET", "/api/spectrum?board=x&channel=0", {}, 400, {'s', 't'}},
        {"board out of range", "GET", "/api/spectrum?board=2&channel=0", {}, 400, {'s', 't'}},
        {"board far out of range", "GET", "/api/spectrum?board=99999999999999999999&channel=0", {}, 400, {'s', 't'}},
        {"negative channel", "GET", "/api/spectrum?board=0&channel=-1", {}, 400, {'s', 't'}},
        {"channel beyond the board's", "GET", "/api/spectrum?board=1&channel=8", {}, 400, {'s', 't'}},
        {"channel missing", "GET", "/api/spectrum?board=0", {}, 400, {'s', 't'}},
        {"spectrum in range", "GET", "/api/spectrum?board=1&channel=7", {}, 200, {'s', 't'}},
        {"PUT", "PUT", "/api/status", Bearer(kToken), 405, {'s', 't'}},
        {"DELETE", "DELETE", "/", Bearer(kToken), 405, {'s', 't'}},
        {"a method nobody knows", "BREW", "/", {}, 405, {'s', 't'}},
        {"GET on a control", "GET", "/api/stop", Bearer(kToken), 405, {'s', 't'}},
        {"POST on a read", "POST", "/api/status", Bearer(kToken), 405, {'s', 't'}},
        {"unknown path", "GET", "/index.html", {}, 404, {'s', 't'}},
        {"path with ..", "GET", "/api/../metrics", {}, 404, {'s', 't'}},
        {"path with encoded ..", "GET", "/%2e%2e/%2e%2e/etc/passwd", {}, 404, {'s', 't'}},
    };
    for (const AccessCase& c : cases) {
        SCOPED_TRACE(c.name);
        const httplib::Result result = Send(port, c.method, c.path, c.headers);
        ASSERT_TRUE(result) << httplib::to_string(result.error());
        EXPECT_EQ(result->status, c.status) << result->body;
        EXPECT_EQ(loop.Keys(), c.keysAfter);
        if (c.status >= 400) {
            EXPECT_EQ(result->body.find('\n'), result->body.size() - 1) << "one line";
        }
    }
    const httplib::Result started = Send(port, "GET", "/api/status");
    ASSERT_TRUE(started);
    EXPECT_EQ(nlohmann::json::parse(started->body)["state"], "acquiring");
    const httplib::Result page = Send(port, "GET", "/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(page->get_header_value("Cache-Control"), "no-store");
    EXPECT_EQ(page->get_header_value("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(page->get_header_value("Content-Security-Policy"),
              "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; connect-src 'self'; "
              "img-src 'self' data:");
}

struct OpenCase {
    bool metricsOpen;
    std::string path;
    httplib::Headers headers;
    int status;
};

TEST_F(MonitorServerTest, AnyAddressNeedsTheTokenForEveryRead) {
    const auto closed = Started("0.0.0.0", false);
    const auto open = Started("0.0.0.0", true);
    const std::string token = std::string("token=") + kToken;
    const std::vector<OpenCase> cases = {
        {false, "/", {}, 401},
        {false, "/api/status", {}, 401},
        {false, "/api/spectrum?board=0&channel=0", {}, 401},
        {false, "/metrics", {}, 401},
        {false, "/api/status?token=" + std::string(32, '0'), {}, 401},
        {false, "/?" + token, {}, 200},
        {false, "/api/status?" + token, {}, 200},
        {false, "/api/status", Bearer(kToken), 200},
        {false, "/metrics?" + token, {}, 200},
        {true, "/metrics", {}, 200},
        {true, "/api/status", {}, 401},
    };
    for (const OpenCase& c : cases) {
        SCOPED_TRACE(c.path + (c.metricsOpen ? " (metrics open)" : ""));
        const httplib::Result result = Send((c.metricsOpen ? open : closed)->Port(), "GET", c.path, c.headers);
        ASSERT_TRUE(result) << httplib::to_string(result.error());
        EXPECT_EQ(result->status, c.status) << result->body;
    }
}

TEST_F(MonitorServerTest, OversizeRequestsAreRefused) {
    const auto server = Started();
    const std::string host = "Host: 127.0.0.1:" + std::to_string(server->Port()) + "\r\n";
    std::string manyHeaders;
    for (int i = 0; i < 400; ++i) manyHeaders += "X-Filler-" + std::to_string(i) + ": 0123456789\r\n";
    const std::string bigBody(9000, 'x');
    const std::vector<std::string> requests = {
        "GET /api/status?pad=" + std::string(9000, 'a') + " HTTP/1.1\r\n" + host + "\r\n",
        "GET /api/status HTTP/1.1\r\n" + host + manyHeaders + "\r\n",
        "POST /api/trigger HTTP/1.1\r\n" + host + "Authorization: Bearer " + kToken +
            "\r\nContent-Length: 100000\r\n\r\n" + bigBody,
        "POST /api/trigger HTTP/1.1\r\n" + host + "Authorization: Bearer " + kToken +
            "\r\nTransfer-Encoding: chunked\r\n\r\n2328\r\n" + bigBody + "\r\n0\r\n\r\n",
    };
    for (const std::string& request : requests) {
        SCOPED_TRACE(request.substr(0, 40));
        const std::string reply = RawExchange(server->Port(), request);
        EXPECT_TRUE(reply.empty() || reply.rfind("HTTP/1.1 413", 0) == 0) << reply.substr(0, 200);
    }
    // Still serving.
    EXPECT_EQ(RawExchange(server->Port(), "GET /api/status HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n")
                  .rfind("HTTP/1.1 200", 0),
              0u);
}

TEST_F(MonitorServerTest, IdleConnectionsMakeWayAndBusyOnesRefuseTheNext) {
    const auto server = Started();
    const int port = server->Port();
    std::vector<int> idle;
    for (int i = 0; i < 200; ++i) {
        const int fd = Connect(port);
        ASSERT_GE(fd, 0);
        idle.push_back(fd);
    }
    const httplib::Result status = Send(port, "GET", "/api/status");
    ASSERT_TRUE(status) << httplib::to_string(status.error());
    EXPECT_EQ(status->status, 200);
    for (const int fd : idle) close(fd);

    // 64 event streams, each inside its handler: no one to evict.
    const std::string request =
        "GET /api/events HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n";
    std::vector<int> streams;
    for (int i = 0; i < 64; ++i) {
        const int fd = Connect(port);
        ASSERT_GE(fd, 0);
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        streams.push_back(fd);
    }
    for (const int fd : streams) {
        const std::string head = ReadFrom(fd, "\n\n");
        ASSERT_NE(head.find("Content-Type: text/event-stream"), std::string::npos) << head;
        const size_t data = head.find("\ndata: ");
        ASSERT_NE(data, std::string::npos) << head;
        const std::string json = head.substr(data + 7, head.find('\n', data + 1) - data - 7);
        EXPECT_EQ(nlohmann::json::parse(json)["boards"][0]["events"], 123456);
    }
    const std::string refused = RawExchange(port, "GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(refused.rfind("HTTP/1.1 503", 0), 0u) << refused;

    const auto start = Clock::now();
    server->Stop();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    for (const int fd : streams) close(fd);
}

TEST_F(MonitorServerTest, JsonCarriesTheFeedsFigures) {
    const auto server = Started();
    const httplib::Result status = Send(server->Port(), "GET", "/api/status");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->get_header_value("Content-Type"), "application/json");
    const nlohmann::json s = nlohmann::json::parse(status->body);
    EXPECT_EQ(s["state"], "waiting");
    EXPECT_EQ(s["config"], "examples/demo.cfg");
    EXPECT_EQ(s["boards"].size(), 2u);
    EXPECT_EQ(s["boards"][0]["model"], kModel);
    EXPECT_EQ(s["boards"][0]["events"], 123456);
    EXPECT_EQ(s["boards"][0]["written_bytes"]["list"], 2000);
    EXPECT_EQ(s["boards"][0]["statistics"]["throughput_mb_s"], 2.5);
    EXPECT_TRUE(s["boards"][0]["statistics"]["detected_khz"].is_null());  // NaN
    EXPECT_TRUE(s["boards"][0]["statistics"]["pile_up_khz"].is_null());   // infinity
    EXPECT_EQ(s["boards"][0]["statistics"]["channels"].size(), 16u);
    EXPECT_TRUE(s["boards"][1]["statistics"].is_null());
    EXPECT_EQ(s["disk"]["free_bytes"], 5000000000u);
    ASSERT_EQ(s["messages"].size(), 1u);
    EXPECT_EQ(s["messages"][0]["text"], "Acquisition started");

    // The run loop's part: it copies the spectra a viewer asks for.
    std::atomic<bool> done{false};
    std::thread loop([&] {
        while (!done) {
            if (feed_.SpectraDue(platform::MonotonicMs())) feed_.PublishSpectra(0, counters_, platform::MonotonicMs());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const httplib::Result spectrum = Send(server->Port(), "GET", "/api/spectrum?board=0&channel=3");
    done = true;
    loop.join();
    ASSERT_TRUE(spectrum);
    const nlohmann::json j = nlohmann::json::parse(spectrum->body);
    EXPECT_EQ(j["bins"], kSpectrumBins);
    ASSERT_EQ(j["counts"].size(), static_cast<size_t>(kSpectrumBins));
    EXPECT_EQ(j["counts"][100], 42);
    EXPECT_EQ(j["counts"][kSpectrumBins - 1], 7);
    EXPECT_EQ(j["counts"][0], 0);
    EXPECT_FALSE(j["taken"].is_null());
}

TEST_F(MonitorServerTest, PortInUseIsRefusedWithAReason) {
    const auto first = Started();
    MonitorServer second(feed_);
    std::string error;
    EXPECT_FALSE(second.Start({"127.0.0.1", first->Port(), false, kToken}, error));
    EXPECT_NE(error.find("in use"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

TEST(MonitorToken, RandomHexWrittenForTheOwnerOnly) {
    const std::string token = NewToken();
    EXPECT_EQ(token.size(), 32u);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos) << token;
    EXPECT_NE(token, NewToken());

    const std::string path = ::testing::TempDir() + "/monitor_token";
    std::ofstream(path) << "old";
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    std::string error;
    ASSERT_TRUE(platform::WritePrivateFile(path, token + "\n", error)) << error;
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    std::ifstream in(path);
    std::string read;
    std::getline(in, read);
    EXPECT_EQ(read, token);

    const std::string link = path + ".link";
    unlink(link.c_str());
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    EXPECT_FALSE(platform::WritePrivateFile(link, "x", error));
    unlink(link.c_str());
    unlink(path.c_str());
}

}  // namespace
}  // namespace tessary::monitor
