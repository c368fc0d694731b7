#include "Monitor.h"

#include "MonitorServer.h"
#include "MonitorToken.h"
#include "PrivateFile.h"
#include "OutputTee.h"

namespace tessary::monitor {
namespace {

void ToLog(void* log, const char* data, std::size_t size) { static_cast<MessageLog*>(log)->Write(data, size); }

}  // namespace

Monitor::Monitor() = default;

Monitor::~Monitor() { Stop(); }

bool Monitor::Start(const MonitorOptions& options, const std::string& tokenPath,
                    const std::vector<int>& channelCounts, std::string& error) {
    address_ = options.address;
    feed_.SetBoards(channelCounts);
    token_ = NewToken();
    if (token_.empty()) {
        error = "no random numbers for the monitor's token";
        return false;
    }
    if (!platform::WritePrivateFile(tokenPath, token_ + "\n", error)) return false;
    server_ = std::make_unique<MonitorServer>(feed_);
    ServerOptions serverOptions;
    serverOptions.address = options.address;
    serverOptions.port = options.port;
    serverOptions.metricsOpen = options.metricsOpen;
    serverOptions.token = token_;
    if (!server_->Start(serverOptions, error)) {
        server_.reset();
        return false;
    }
    return true;
}

std::FILE* Monitor::Tee(std::FILE* out) {
    if (tee_ == nullptr) tee_ = platform::OpenTee(out, &ToLog, &feed_.Messages());
    return tee_ != nullptr ? tee_ : out;
}

void Monitor::Stop() {
    feed_.Close();
    if (server_) server_->Stop();
    server_.reset();
    if (tee_ != nullptr) platform::CloseTee(tee_);
    tee_ = nullptr;
}

std::string Monitor::PageAddress() const { return server_ ? server_->PageAddress() : std::string(); }

bool Monitor::Loopback() const {
    return address_ == "localhost" || address_ == "::1" || address_.rfind("127.", 0) == 0;
}

}  // namespace tessary::monitor
