// The monitor's server in a build without an HTTP library for its target:
// starting it fails with the reason, so a run asking for the monitor stops
// at the start and says why.
#include "MonitorServer.h"

namespace tessary::monitor {

struct MonitorServer::Impl {};

MonitorServer::MonitorServer(MonitorFeed&) {}
MonitorServer::~MonitorServer() = default;

bool MonitorServer::Start(const ServerOptions&, std::string& error) {
    error = "the live monitor is not available in this build";
    return false;
}

int MonitorServer::Port() const { return 0; }
std::string MonitorServer::PageAddress() const { return {}; }
void MonitorServer::Stop() {}

}  // namespace tessary::monitor
