#include "BoardLocation.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "DrelmTessaryLib.h"

namespace {

struct Connection {
    const char* keyword;
    int32_t type;
    bool takesNode;      // link, node, [base]
    bool needsBase;      // link/host, base
    bool hostArgument;   // first argument is a host name
};

constexpr Connection kConnections[] = {
    {"USB", 0, false, false, false},     {"PCI", 1, true, false, false},
    {"USB_R210", 5, true, false, false}, {"ETH_R330", 6, false, true, true},
    {"USB_R330", 7, false, true, false},
};

bool ParseDecimal(const std::string& token, int32_t* value) {
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(token.c_str(), &end, 10);
    if (end == token.c_str() || *end != '\0' || errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX)
        return false;
    *value = static_cast<int32_t>(parsed);
    return true;
}

bool ParseAddress(const std::string& token, uint32_t* value) {
    errno = 0;
    char* end = nullptr;
    // Base by prefix: 0x hexadecimal, leading 0 octal, decimal otherwise.
    const unsigned long long parsed = std::strtoull(token.c_str(), &end, 0);
    if (end == token.c_str() || *end != '\0' || errno == ERANGE || parsed > UINT32_MAX || token[0] == '-')
        return false;
    *value = static_cast<uint32_t>(parsed);
    return true;
}

}  // namespace

bool ParseBoardLocation(const std::string& text, BoardLocation* location, std::string* error) {
    std::istringstream in(text);
    std::vector<std::string> tokens;
    for (std::string token; in >> token;) tokens.push_back(token);
    if (tokens.empty()) {
        *error = "no connection keyword";
        return false;
    }
    const Connection* connection = nullptr;
    for (const Connection& c : kConnections)
        if (tokens[0] == c.keyword) connection = &c;
    if (!connection) {
        *error = "unknown connection type \"" + tokens[0] + "\" (USB, PCI, USB_R210, ETH_R330 or USB_R330)";
        return false;
    }
    BoardLocation out;
    out.connectionType = connection->type;
    size_t next = 1;
    if (tokens.size() <= next) {
        *error = std::string("no ") + (connection->hostArgument ? "host name" : "link number");
        return false;
    }
    if (connection->hostArgument) {
        out.hostName = tokens[next++];
    } else if (!ParseDecimal(tokens[next++], &out.linkNumber)) {
        *error = "bad link number \"" + tokens[next - 1] + "\"";
        return false;
    }
    if (connection->takesNode) {
        if (tokens.size() <= next) {
            *error = "no node number";
            return false;
        }
        if (!ParseDecimal(tokens[next++], &out.nodeNumber)) {
            *error = "bad node number \"" + tokens[next - 1] + "\"";
            return false;
        }
    }
    if (tokens.size() > next) {
        if (!ParseAddress(tokens[next++], &out.baseAddress)) {
            *error = "bad base address \"" + tokens[next - 1] + "\"";
            return false;
        }
    } else if (connection->needsBase) {
        *error = "no base address";
        return false;
    }
    if (tokens.size() > next) {
        *error = "too many arguments";
        return false;
    }
    *location = out;
    return true;
}

int32_t OpenBoardAt(const BoardLocation& location, int32_t* handle) {
    if (location.connectionType == 6)
        return DRELM_TSY_OpenTessary2(location.connectionType, location.hostName.c_str(), location.nodeNumber,
                                      location.baseAddress, handle);
    const int32_t link = location.linkNumber;
    return DRELM_TSY_OpenTessary2(location.connectionType, &link, location.nodeNumber, location.baseAddress, handle);
}
