// The live monitor of a run, as the session sees it: the feed it publishes
// into, the server on threads of its own, the run's token, and the console
// text copied into the message log.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "MonitorFeed.h"

namespace tessary::monitor {

class MonitorServer;

struct MonitorOptions {
    std::string address = "127.0.0.1";
    int port = -1;  // -1: no monitor; 0: any free port
    bool metricsOpen = false;
    bool Enabled() const { return port >= 0; }
};

class Monitor {
public:
    Monitor();
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // Makes the run's token, writes it to `tokenPath` (readable by the user
    // alone) and starts serving for boards of these channel counts; false
    // with a one-line reason.
    bool Start(const MonitorOptions& options, const std::string& tokenPath, const std::vector<int>& channelCounts,
               std::string& error);
    // A stream that writes to `out` and into the message log; `out` itself
    // when none can be made.
    std::FILE* Tee(std::FILE* out);
    // Ends every wait, stops serving and closes the tee (its text reaches
    // `out`). Idempotent.
    void Stop();

    MonitorFeed& Feed() { return feed_; }
    const std::string& Token() const { return token_; }
    std::string PageAddress() const;
    bool Loopback() const;

private:
    MonitorFeed feed_;
    std::unique_ptr<MonitorServer> server_;
    std::string token_;
    std::string address_;
    std::FILE* tee_ = nullptr;
};

}  // namespace tessary::monitor
