// The OPEN line: connection keyword, then its arguments in a fixed order.
#include "ConfigOpenLine.h"

#include <cstdint>
#include <ostream>

#include "ConfigMessages.h"
#include "ConfigValues.h"
#include "PrintableText.h"

namespace tessary {

namespace {

// What follows the connection keyword.
enum class FirstArgument { LinkNumber, HostName };
enum class SecondArgument { None, NodeNumber, BaseAddress };

struct Connection {
    std::string_view keyword;
    int32_t type;
    FirstArgument first;
    SecondArgument second;     // required when not None
    bool optionalBaseAddress;  // after the required arguments
};

constexpr Connection kConnections[] = {
    {"USB", kConnectionUsb, FirstArgument::LinkNumber, SecondArgument::None, true},
    {"PCI", kConnectionPci, FirstArgument::LinkNumber, SecondArgument::NodeNumber, true},
    {"USB_R210", kConnectionUsbR210, FirstArgument::LinkNumber, SecondArgument::NodeNumber, true},
    {"ETH_R330", kConnectionEthR330, FirstArgument::HostName, SecondArgument::BaseAddress, false},
    {"USB_R330", kConnectionUsbR330, FirstArgument::LinkNumber, SecondArgument::BaseAddress, false},
};

const Connection* FindConnection(std::string_view keyword) {
    for (const Connection& connection : kConnections) {
        if (connection.keyword == keyword) return &connection;
    }
    return nullptr;
}

// Link and node numbers count from 0; one beyond the 32-bit range is
// taken as its limit, with a warning.
bool ReadIndex(ParseState& state, std::string_view text, int32_t& out) {
    DecimalValue number = ParseDecimal(text);
    if (!number.hasDigits) {
        ReportInvalidNumber(state, kOpenKey, text);
        return false;
    }
    if (number.value < 0) {
        ReportOutOfRange(state, kOpenKey, text);
        return false;
    }
    WarnIfClamped(state, kOpenKey, text, number);
    out = number.value;
    return true;
}

bool ReadAddress(ParseState& state, std::string_view text, uint32_t& out) {
    AddressValue address = ParseBaseAddress(text);
    if (!address.hasDigits) {
        ReportInvalidNumber(state, kOpenKey, text);
        return false;
    }
    // A negative address is out of range, as a negative link or node is.
    if (address.overflow || address.negative) {
        ReportOutOfRange(state, kOpenKey, text);
        return false;
    }
    out = address.value;
    return true;
}

bool IsCommentMark(std::string_view token) { return !token.empty() && token.front() == '#'; }

// A host name is cut to its field, and the cut is reported: a shortened
// name would quietly reach a different host.
void SetHostName(ParseState& state, BoardSettings& board, std::string_view name) {
    constexpr std::size_t kMaxLength = kHostNameFieldSize - 1;
    if (name.size() > kMaxLength) {
        state.messages << "Warning: host name at line " << state.lineNumber << " is longer than " << kMaxLength
                       << " characters; only the first " << kMaxLength << " are kept\n";
        name = name.substr(0, kMaxLength);
    }
    CopyText(board.hostName, sizeof board.hostName, name);
}

}  // namespace

KeyResult ApplyOpenLine(ParseState& state, const LineTokens& tokens) {
    if (!tokens.Has(1)) {
        ReportNoArgument(state, "1st", kOpenKey);
        return KeyResult{LineOutcome::Ignored, 1};
    }
    const Connection* connection = FindConnection(tokens[1]);
    if (connection == nullptr) {
        state.messages << Printable(tokens[1]) << ' ' << kOpenKey << ": Invalid connection type\n";
        return KeyResult{LineOutcome::Failed, 2};
    }
    if (!tokens.Has(2)) {
        ReportNoArgument(state, "2nd", kOpenKey);
        return KeyResult{LineOutcome::Ignored, 2};
    }
    if (connection->second != SecondArgument::None && !tokens.Has(3)) {
        ReportNoArgument(state, "3rd", kOpenKey);
        return KeyResult{LineOutcome::Ignored, 3};
    }

    BoardSettings board{};
    board.connectionType = connection->type;
    int used = 3;
    if (connection->first == FirstArgument::HostName) {
        SetHostName(state, board, tokens[2]);
    } else if (!ReadIndex(state, tokens[2], board.linkNumber)) {
        return KeyResult{LineOutcome::Failed, used};
    }
    if (connection->second == SecondArgument::NodeNumber) {
        if (!ReadIndex(state, tokens[used], board.nodeNumber)) return KeyResult{LineOutcome::Failed, used + 1};
        ++used;
    } else if (connection->second == SecondArgument::BaseAddress) {
        if (!ReadAddress(state, tokens[used], board.baseAddress)) return KeyResult{LineOutcome::Failed, used + 1};
        ++used;
    }
    // The token after the required arguments is the optional base address.
    // One that begins with '#' is a trailing comment: no base address (0),
    // and what follows it is surplus. Stored files also hold other words
    // there (board names, remarks); such a word gives base address 0 too,
    // with a warning, since it might be a mistyped address.
    if (connection->optionalBaseAddress && tokens.Has(used)) {
        const std::string_view text = tokens[used];
        if (!IsCommentMark(text)) {
            if (!ParseBaseAddress(text).hasDigits) {
                WarnAboutValue(state, kOpenKey, text)
                    << "is not a base address; the board is added with base address 0\n";
            } else if (!ReadAddress(state, text, board.baseAddress)) {
                return KeyResult{LineOutcome::Failed, used + 1};
            }
        }
        ++used;
    }

    if (state.config.boardCount >= kMaxBoards) {
        state.messages << kOpenKey << ": more than " << kMaxBoards << " boards at line " << state.lineNumber
                       << '\n';
        return KeyResult{LineOutcome::Failed, used};
    }
    state.config.boards[state.config.boardCount] = board;
    ++state.config.boardCount;
    return KeyResult{LineOutcome::Applied, used};
}

}  // namespace tessary
