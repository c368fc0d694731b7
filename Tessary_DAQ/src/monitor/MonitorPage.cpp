#include "MonitorPage.h"

namespace tessary::monitor {

// Replaced by the page made at build time.
std::string_view MonitorPageHtml() { return "<!DOCTYPE html><title>Tessary_DAQ</title>"; }

}  // namespace tessary::monitor
