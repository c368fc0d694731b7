#include "MonitorServer.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <thread>
#include <vector>

#include "Clock.h"
#include "LimitedHttpServer.h"
#include "Metrics.h"
#include "MonitorJson.h"
#include "MonitorPage.h"
#include "MonitorToken.h"

namespace tessary::monitor {
namespace {

using httplib::Request;
using httplib::Response;
using Screened = httplib::Server::HandlerResponse;

constexpr int kKeyWaitMs = 5000;        // for the run loop to handle a key
constexpr int kSpectrumWaitMs = 1500;   // for a fresh copy of the spectra
constexpr int kEventsStepMs = 1000;     // an event stream sees a stop this often
constexpr int64_t kEventsKeepAliveMs = 15000;
constexpr const char* kJson = "application/json";
constexpr const char* kText = "text/plain; charset=utf-8";
constexpr const char* kPagePolicy =
    "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; connect-src 'self'; "
    "img-src 'self' data:";

constexpr const char* kReadPaths[] = {"/", "/api/status", "/api/spectrum", "/api/events", "/metrics"};

// The controls: the key each sends and the states it is taken in.
struct ControlRoute {
    const char* path;
    int key;
    const char* action;
    bool (*allowed)(RunState);
    const char* when;
};
constexpr ControlRoute kControls[] = {
    {"/api/start", 's', "start",
     [](RunState s) { return s == RunState::Waiting || s == RunState::Stopped; }, "while waiting or stopped"},
    {"/api/stop", 's', "stop", [](RunState s) { return s == RunState::Acquiring; }, "while acquiring"},
    {"/api/trigger", 't', "trigger", [](RunState) { return true; }, "before the end"},
    {"/api/reset", 'r', "reset", [](RunState) { return true; }, "before the end"},
};

enum class Access { None, Read, Control };
Access RouteAccess(const std::string& path) {
    for (const char* read : kReadPaths)
        if (path == read) return Access::Read;
    for (const ControlRoute& control : kControls)
        if (path == control.path) return Access::Control;
    return Access::None;
}

void Answer(Response& res, int status, const std::string& reason) {
    res.status = status;
    res.set_content(reason + "\n", kText);
}

bool IsLoopback(const std::string& ip) {
    return ip.rfind("127.", 0) == 0 || ip == "::1" || ip.rfind("::ffff:127.", 0) == 0;
}

std::string Lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string UrlHost(const std::string& ip) { return ip.find(':') != std::string::npos ? "[" + ip + "]" : ip; }

// A parameter as a decimal number in [low, high]; false with the reason.
bool NumberParameter(const Request& req, const char* name, int64_t low, int64_t high, int64_t& value,
                     std::string& reason) {
    if (!req.has_param(name)) {
        reason = std::string(name) + ": missing";
        return false;
    }
    const std::string text = req.get_param_value(name);
    const size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
    const bool numeric = text.size() > digits && std::all_of(text.begin() + static_cast<std::ptrdiff_t>(digits),
                                                             text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
    if (!numeric) {
        reason = std::string(name) + ": not a number";
        return false;
    }
    const std::string range = " is out of range (" + std::to_string(low) + ".." + std::to_string(high) + ")";
    if (text.size() - digits > 15) {
        reason = std::string(name) + range;
        return false;
    }
    value = std::stoll(text);
    if (value < low || value > high) {
        reason = std::string(name) + " " + text + range;
        return false;
    }
    return true;
}

std::vector<Message> MessagesAfter(const MessageLog& log, uint64_t after) {
    std::vector<Message> messages = log.Messages();
    messages.erase(std::remove_if(messages.begin(), messages.end(),
                                  [&](const Message& m) { return m.number <= after; }),
                   messages.end());
    return messages;
}

// What a stream of server-sent events has sent so far.
struct EventStream {
    bool started = false;
    uint64_t seen = 0;  // the last status's sequence
    int64_t lastWriteMs = 0;
};

// The status's JSON as last made, for the status it was made from and the
// messages kept then: viewers polling many times a second, and every event
// stream, share one rendering per change rather than one per request.
struct StatusText {
    std::mutex mutex;
    uint64_t sequence = 0;
    uint64_t messages = 0;
    std::shared_ptr<const std::string> json;
};

}  // namespace

struct MonitorServer::Impl {
    explicit Impl(MonitorFeed& f) : feed(f) {}

    MonitorFeed& feed;
    ServerOptions options;
    std::unique_ptr<LimitedHttpServer> http;
    std::thread thread;
    bool loopback = false;
    std::vector<std::string> hosts;  // the Host values accepted on a loopback address
    mutable StatusText statusText;

    std::shared_ptr<const std::string> CurrentStatusJson() const;

    void SetRoutes();
    Screened Screen(const Request& req, Response& res) const;
    bool BearerMatches(const Request& req) const;
    void Status(const Request& req, Response& res) const;
    void Spectrum(const Request& req, Response& res) const;
    void Events(Response& res) const;
    bool NextEvent(EventStream& stream, httplib::DataSink& sink) const;
    void Control(Response& res, const ControlRoute& control) const;
};

bool MonitorServer::Impl::BearerMatches(const Request& req) const {
    const std::string value = req.get_header_value("Authorization");
    constexpr std::string_view kScheme = "Bearer ";
    return value.size() > kScheme.size() && value.compare(0, kScheme.size(), kScheme) == 0 &&
           TokenMatches(std::string_view(value).substr(kScheme.size()), options.token);
}

// Before routing, and before a body is read: the limits, the host, the
// method and path, and the token. A refusal closes the connection, whose
// body (if any) is left unread.
Screened MonitorServer::Impl::Screen(const Request& req, Response& res) const {
    const auto refuse = [&](int status, const std::string& reason) {
        Answer(res, status, reason);
        res.set_header("Connection", "close");
        LimitedHttpServer::CloseAfterResponse();
        return Screened::Handled;
    };
    if (req.has_header("Content-Length")) {
        const std::string length = req.get_header_value("Content-Length");
        if (length.empty() ||
            !std::all_of(length.begin(), length.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
            return refuse(400, "Content-Length is not a number");
        if (length.size() > 6 || std::stoul(length) > ConnectionLimits{}.maxRequestBytes)
            return refuse(413, "the request is over the limit of 8 KiB");
    }
    if (loopback && (req.get_header_value_count("Host") != 1 ||
                     std::find(hosts.begin(), hosts.end(), Lowercase(req.get_header_value("Host"))) == hosts.end()))
        return refuse(403, "the Host header does not name this server");
    if (req.method != "GET" && req.method != "POST") {
        res.set_header("Allow", "GET, POST");
        return refuse(405, req.method + " is not allowed: GET reads, POST controls");
    }
    const Access access = RouteAccess(req.path);
    if (access == Access::None || req.path.find("..") != std::string::npos ||
        req.target.find("..") != std::string::npos)
        return refuse(404, "not found");
    const bool control = access == Access::Control;
    if (control != (req.method == "POST")) {
        res.set_header("Allow", control ? "POST" : "GET");
        return refuse(405, req.path + (control ? " takes POST" : " takes GET"));
    }
    bool allowed = BearerMatches(req);
    if (!allowed && !control) {
        allowed = loopback || (options.metricsOpen && req.path == "/metrics") ||
                  (req.has_param("token") && TokenMatches(req.get_param_value("token"), options.token));
    }
    if (!allowed) {
        res.set_header("WWW-Authenticate", "Bearer realm=\"Tessary_DAQ\"");
        return refuse(401, control ? "control needs the token: Authorization: Bearer TOKEN"
                                   : "this address needs the token: Authorization: Bearer TOKEN or ?token=TOKEN");
    }
    return Screened::Unhandled;
}

std::shared_ptr<const std::string> MonitorServer::Impl::CurrentStatusJson() const {
    const uint64_t sequence = feed.Sequence();
    const uint64_t messages = feed.Messages().Count();
    std::lock_guard lock(statusText.mutex);
    if (!statusText.json || statusText.sequence != sequence || statusText.messages != messages) {
        // Made under the lock: the others waiting for it take it as made.
        const RunStatus status = feed.Status();
        statusText.json = std::make_shared<const std::string>(StatusJson(status, feed.Messages().Messages()));
        statusText.sequence = status.sequence;
        statusText.messages = messages;
    }
    return statusText.json;
}

void MonitorServer::Impl::Status(const Request& req, Response& res) const {
    int64_t after = 0;
    std::string reason;
    if (!req.has_param("messages_after")) return res.set_content(*CurrentStatusJson(), kJson);
    if (!NumberParameter(req, "messages_after", 0, INT64_MAX / 2, after, reason)) return Answer(res, 400, reason);
    res.set_content(StatusJson(feed.Status(), MessagesAfter(feed.Messages(), static_cast<uint64_t>(after))), kJson);
}

void MonitorServer::Impl::Spectrum(const Request& req, Response& res) const {
    int64_t board = 0, channel = 0;
    std::string reason;
    if (feed.Boards() == 0) return Answer(res, 400, "board: there are no boards");
    if (!NumberParameter(req, "board", 0, feed.Boards() - 1, board, reason)) return Answer(res, 400, reason);
    const int channels = feed.ChannelCount(static_cast<int>(board));
    if (channels <= 0) return Answer(res, 400, "channel: the board has no channels");
    if (!NumberParameter(req, "channel", 0, channels - 1, channel, reason)) return Answer(res, 400, reason);
    std::vector<uint32_t> counts;
    int64_t takenMs = 0;
    if (!feed.Spectrum(static_cast<int>(board), static_cast<int>(channel), kSpectrumWaitMs, counts, takenMs))
        return Answer(res, 400, "board or channel out of range");
    res.set_content(SpectrumJson(static_cast<int>(board), static_cast<int>(channel), counts, takenMs), kJson);
}

// One step of an event stream: the status when a newer one came within a
// step, a comment now and then to find a client gone, the end when the run
// is over. False ends the stream.
bool MonitorServer::Impl::NextEvent(EventStream& stream, httplib::DataSink& sink) const {
    if (http->Stopping()) return false;
    const bool fresh = !stream.started || feed.WaitForSequence(stream.seen, kEventsStepMs);
    const int64_t now = platform::MonotonicMs();
    if (fresh) {
        const uint64_t sequence = feed.Sequence();
        std::string event = stream.started ? "" : "retry: 2000\n";
        event += "id: " + std::to_string(sequence) + "\ndata: " + *CurrentStatusJson() + "\n\n";
        stream.started = true;
        stream.seen = sequence;
        stream.lastWriteMs = now;
        return sink.write(event.data(), event.size());
    }
    if (feed.Closed()) {
        sink.done();
        return true;
    }
    if (now - stream.lastWriteMs >= kEventsKeepAliveMs) {
        stream.lastWriteMs = now;
        static constexpr char kComment[] = ": waiting\n\n";
        return sink.write(kComment, sizeof kComment - 1);
    }
    return true;
}

void MonitorServer::Impl::Events(Response& res) const {
    auto stream = std::make_shared<EventStream>();
    res.set_chunked_content_provider("text/event-stream", [this, stream](size_t, httplib::DataSink& sink) {
        return NextEvent(*stream, sink);
    });
}

void MonitorServer::Impl::Control(Response& res, const ControlRoute& control) const {
    const std::string action = control.action;
    const RunState state = feed.Status().state;
    if (state == RunState::Ended) return Answer(res, 409, action + ": the run has ended");
    if (!control.allowed(state))
        return Answer(res, 409, action + ": only " + control.when + " (now " + RunStateName(state) + ")");
    switch (feed.Keys().Send(control.key, kKeyWaitMs)) {
        case RemoteKeys::Sent::Handled:
            return res.set_content(StatusJson(feed.Status(), feed.Messages().Messages()), kJson);
        case RemoteKeys::Sent::Busy: return Answer(res, 503, action + ": too many keys are waiting");
        case RemoteKeys::Sent::TimedOut:
            return Answer(res, 504, action + ": the run loop did not take the key within 5 s");
        case RemoteKeys::Sent::Closed: return Answer(res, 409, action + ": the run has ended");
    }
}

void MonitorServer::Impl::SetRoutes() {
    httplib::Server& s = *http;
    s.set_default_headers({{"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}});
    s.set_pre_routing_handler([this](const Request& req, Response& res) { return Screen(req, res); });
    // The library's own refusals (a malformed request, a method it does not
    // know) with a one-line body, and the connection closed.
    s.set_error_handler(httplib::Server::HandlerWithResponse([](const Request& req, Response& res) {
        if (!res.body.empty()) return Screened::Unhandled;
        if (res.status == 400 && !req.method.empty() && req.method != "GET" && req.method != "POST" &&
            req.version.rfind("HTTP/1.", 0) == 0) {
            res.status = 405;
            res.set_header("Allow", "GET, POST");
        }
        Answer(res, res.status, res.status == 405 ? "only GET and POST are allowed" : "bad request");
        res.set_header("Connection", "close");
        LimitedHttpServer::CloseAfterResponse();
        return Screened::Unhandled;
    }));
    s.set_exception_handler([](const Request&, Response& res, std::exception_ptr) {
        Answer(res, 500, "internal error");
    });
    s.Get("/", [](const Request&, Response& res) {
        const std::string_view page = MonitorPageHtml();
        res.set_content(page.data(), page.size(), "text/html; charset=utf-8");
        res.set_header("Content-Security-Policy", kPagePolicy);
        res.set_header("Referrer-Policy", "no-referrer");
        res.set_header("X-Frame-Options", "DENY");
    });
    s.Get("/api/status", [this](const Request& req, Response& res) { Status(req, res); });
    s.Get("/api/spectrum", [this](const Request& req, Response& res) { Spectrum(req, res); });
    s.Get("/api/events", [this](const Request&, Response& res) { Events(res); });
    s.Get("/metrics", [this](const Request&, Response& res) {
        res.set_content(MetricsText(feed.Status()), std::string(kMetricsContentType));
    });
    for (const ControlRoute& control : kControls)
        s.Post(control.path, [this, &control](const Request&, Response& res) { Control(res, control); });
}

MonitorServer::MonitorServer(MonitorFeed& feed) : impl_(std::make_unique<Impl>(feed)) {}

MonitorServer::~MonitorServer() { Stop(); }

bool MonitorServer::Start(const ServerOptions& options, std::string& error) {
    if (impl_->http) {
        error = "the monitor is already serving on port " + std::to_string(Port());
        return false;
    }
    auto http = std::make_unique<LimitedHttpServer>();
    if (!http->Bind(options.address, options.port, error)) return false;
    Impl& impl = *impl_;
    impl.options = options;
    impl.http = std::move(http);
    impl.loopback = IsLoopback(impl.http->BoundAddress());
    const std::string port = ":" + std::to_string(impl.http->BoundPort());
    impl.hosts = {"127.0.0.1" + port, "localhost" + port, "[::1]" + port,
                  Lowercase(UrlHost(impl.http->BoundAddress())) + port};
    if (impl.http->BoundPort() == 80)
        for (const char* host : {"127.0.0.1", "localhost", "[::1]"}) impl.hosts.emplace_back(host);
    impl.SetRoutes();
    impl.thread = std::thread([server = impl.http.get()] { server->Serve(); });
    return true;
}

int MonitorServer::Port() const { return impl_->http ? impl_->http->BoundPort() : 0; }

std::string MonitorServer::PageAddress() const {
    if (!impl_->http) return {};
    std::string host = impl_->http->BoundAddress();
    if (host == "0.0.0.0") host = "127.0.0.1";
    if (host == "::") host = "::1";
    return "http://" + UrlHost(host) + ":" + std::to_string(Port()) + "/";
}

void MonitorServer::Stop() {
    if (!impl_->http) return;
    impl_->http->StopServing();
    if (impl_->thread.joinable()) impl_->thread.join();
    impl_->http.reset();
}

}  // namespace tessary::monitor
