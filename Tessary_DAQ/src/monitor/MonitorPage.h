// The monitor's page: one self-contained HTML document, with its scripts,
// chart library and styles inside, made at build time.
#pragma once

#include <string_view>

namespace tessary::monitor {

std::string_view MonitorPageHtml();

}  // namespace tessary::monitor
