// The monitor's HTTP server: the page, the JSON API, the server-sent
// events, the metrics and the controls, over cpp-httplib on threads of its
// own. It reads the run only through the MonitorFeed and acts on it only
// through the feed's key stream, so that the run loop never waits for it.
//
// Routes (GET reads, POST controls; any other method 405, an unknown path
// or one with ".." 404, a request over 8 KiB 413):
//   /              the page (text/html)
//   /api/status    the status JSON (MonitorJson.h); ?messages_after=N keeps
//                  only the messages numbered above N
//   /api/spectrum  ?board=B&channel=C: that channel's spectrum JSON; a
//                  parameter missing, not a number or out of range 400
//   /api/events    server-sent events: each event's data is the status JSON
//                  (id: its sequence), the first at once, then one at each
//                  publish; a comment line every 15 s while nothing is new
//   /metrics       the Prometheus text (Metrics.h)
//   /api/start /api/stop /api/trigger /api/reset   (POST) the keys s (only
//                  while waiting or stopped), s (only while acquiring), t
//                  and r: 200 with the status after the run loop handled
//                  the key, 409 in the wrong state or after the run's end,
//                  503 when too many keys wait, 504 when the loop did not
//                  take it within 5 s
//
// Access: control needs "Authorization: Bearer TOKEN" (401 without it).
// Bound to a loopback address, reads are open, and a request whose Host is
// not that address (127.0.0.1, localhost or [::1] with the port) gets 403,
// against DNS rebinding. Bound elsewhere, every request needs the token,
// as the header or as ?token=TOKEN (for the page's address and its event
// stream), except /metrics when metricsOpen.
//
// Connections: at most 64 (a new one evicts the one idle longest between
// two requests, else gets 503), a client silent for 10 s is dropped.
#pragma once

#include <memory>
#include <string>

#include "MonitorFeed.h"

namespace tessary::monitor {

struct ServerOptions {
    std::string address = "127.0.0.1";
    int port = 0;  // 0: a free port
    bool metricsOpen = false;
    std::string token;  // empty: no request can control
};

class MonitorServer {
public:
    explicit MonitorServer(MonitorFeed& feed);
    ~MonitorServer();  // stops
    MonitorServer(const MonitorServer&) = delete;
    MonitorServer& operator=(const MonitorServer&) = delete;

    // Binds and serves on threads of its own; false with a one-line reason
    // (the address in use, not an address of this machine, already serving).
    bool Start(const ServerOptions& options, std::string& error);
    // The port bound; 0 when not serving.
    int Port() const;
    // The page's address, "http://127.0.0.1:8080/" (a wildcard address
    // reads as the loopback one); empty when not serving.
    std::string PageAddress() const;
    // Stops serving: every connection is closed, event streams included,
    // within about a second; the feed is left as it is. Then Start may be
    // called again.
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tessary::monitor
