#include "BoardAddressing.h"

#include <algorithm>
#include <cctype>
#include <tuple>

#include "DrelmComm.h"
#include "LinkStatus.h"

namespace drelm::emu {

bool IsSupportedConnectionType(int32_t type) {
    return type == DRELM_LINK_USB || type == DRELM_LINK_OPTICAL || type == DRELM_LINK_USB_ADAPTER ||
           type == DRELM_LINK_ETHERNET || type == DRELM_LINK_USB_VME;
}

namespace {

bool UsesNode(int32_t type) { return type == DRELM_LINK_OPTICAL || type == DRELM_LINK_USB_ADAPTER; }

}  // namespace

BoardAddress NormalizedAddress(const BoardAddress& address) {
    BoardAddress out;
    out.connectionType = address.connectionType;
    if (address.connectionType == DRELM_LINK_ETHERNET) {
        out.host = address.host;
        std::transform(out.host.begin(), out.host.end(), out.host.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return out;
    }
    out.link = address.link;
    if (UsesNode(address.connectionType)) out.node = address.node;
    if (address.connectionType == DRELM_LINK_USB_VME) out.baseAddress = address.baseAddress;
    return out;
}

int32_t CheckAddress(const BoardAddress& address) {
    if (!IsSupportedConnectionType(address.connectionType)) return kLinkUnsupportedType;
    if (address.connectionType == DRELM_LINK_ETHERNET) return kLinkOk;
    if (address.link < 0) return kLinkInvalidLinkOrNode;
    if (UsesNode(address.connectionType) && (address.node < 0 || address.node > kMaxChainNode))
        return kLinkInvalidLinkOrNode;
    return kLinkOk;
}

bool IsDottedQuad(const std::string& host) {
    int parts = 0;
    std::size_t i = 0;
    while (true) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (i < host.size() && std::isdigit(static_cast<unsigned char>(host[i])) && digits < 4) {
            value = value * 10 + static_cast<unsigned>(host[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return false;
        ++parts;
        if (i == host.size()) return parts == 4;
        if (host[i] != '.' || parts == 4) return false;
        ++i;
    }
}

bool AddressOrder::operator()(const BoardAddress& a, const BoardAddress& b) const {
    return std::tie(a.connectionType, a.link, a.host, a.node, a.baseAddress) <
           std::tie(b.connectionType, b.link, b.host, b.node, b.baseAddress);
}

}  // namespace drelm::emu
