// The eight link operations of DrelmComm.h over the emulated boards.
//
// Every call goes the same way: argument checks (-3, and for an open -4,
// -5, -8), then the link handle (-1 when not open), then the injected
// faults, then the board. Every call is recorded, whatever its status; a
// list as one record per item. No exception leaves these functions.
//
// Decisions beyond the header:
//  - LinkOpen with type 6 reads the host name up to its NUL, at most 255
//    characters; a longer or empty name is -3. The host is known when a
//    board description names it, or when it is "localhost" or a dotted IPv4
//    address; otherwise -8. The record's address is the base address and its
//    value the new handle (0xFFFFFFFF on failure).
//  - The per-item statuses array of the list operations may be null.
//  - LinkBlockRead only reads board address 0 (else -3). It moves event
//    words as a stream until maxWords is reached (an event may continue in
//    the next read), completing at most the number of events in 0xEF1C (0
//    there: no event limit). -13 when it stopped short of maxWords because
//    the event memory ran out or the event limit was reached, possibly with
//    one spare word after the last event; 0 when it moved exactly maxWords.
//  - Register and block accesses take the board's link time (LinkTiming):
//    with the host clock the call waits it out after releasing the board.
//  - LinkQueryInfo's record has the kind as address and the 4 bytes as a
//    little-endian value.
#include <cstring>
#include <exception>

#include "BoardAddressing.h"
#include "BoardRegistry.h"
#include "DrelmComm.h"
#include "FaultInjector.h"
#include "LinkStatus.h"
#include "LinkTiming.h"
#include "TrafficRecorder.h"

namespace drelm::emu {
namespace {

// Where the item being recorded stands in its list call (count 0: no list).
struct ListPosition {
    uint32_t index = 0;
    uint32_t count = 0;
};
thread_local ListPosition t_listPosition;

void Record(Op op, int32_t link, uint32_t address, uint32_t value, int32_t status) {
    TrafficRecorder::Instance().Record(
        Access{op, link, address, value, status, t_listPosition.index, t_listPosition.count});
}

// Marks the items recorded while it lives as items of one list call.
class ListItems {
public:
    explicit ListItems(int32_t count) { t_listPosition = {0, static_cast<uint32_t>(count)}; }
    void At(int32_t index) { t_listPosition.index = static_cast<uint32_t>(index); }
    ~ListItems() { t_listPosition = {}; }
    ListItems(const ListItems&) = delete;
    ListItems& operator=(const ListItems&) = delete;
};

std::optional<int32_t> Faulted(Op op, int32_t link, uint32_t address) {
    return FaultInjector::Instance().Check(op, link, address);
}

// The board behind an open link, locked; empty when the link is not open.
// `board` is declared before `lock` so that the lock is released before the
// board can go: a link closed meanwhile may leave this the last owner.
struct LockedBoard {
    std::shared_ptr<Board> board;
    std::unique_lock<std::mutex> lock;
    explicit operator bool() const { return board != nullptr; }
    Board* operator->() const { return board.get(); }

    // Releases the board, then takes the link's time for moving `bytes`.
    void FinishTransfer(uint64_t bytes) {
        if (!board) return;
        const uint64_t cost = board->LinkCostNs(bytes);
        lock.unlock();
        LinkTiming::Wait(cost);
    }
};

LockedBoard Lock(int32_t linkHandle) {
    LockedBoard locked;
    locked.board = BoardRegistry::Instance().Find(linkHandle);
    if (!locked.board) return locked;
    locked.lock = std::unique_lock<std::mutex>(locked.board->Mutex());
    if (locked.board->linkHandle != linkHandle) {
        // Closed meanwhile: unlock while the board is surely still alive.
        locked.lock.unlock();
        locked.board.reset();
    }
    return locked;
}

template <typename Body>
int32_t Guarded(Body body) {
    try {
        return body();
    } catch (const std::exception&) {
        return kLinkGenericFailure;
    }
}

int32_t OpenLink(int32_t type, const void* linkArg, int32_t node, uint32_t base, int32_t* linkHandle) {
    auto fail = [&](int32_t status) {
        Record(Op::Open, -1, base, 0xFFFFFFFFu, status);
        return status;
    };
    if (!linkArg || !linkHandle) return fail(kLinkInvalidArgument);
    if (!IsSupportedConnectionType(type)) return fail(kLinkUnsupportedType);
    BoardAddress address;
    address.connectionType = type;
    address.node = node;
    address.baseAddress = base;
    if (type == DRELM_LINK_ETHERNET) {
        const char* host = static_cast<const char*>(linkArg);
        const std::size_t length = strnlen(host, kMaxHostNameLength + 1);
        if (length == 0 || length > kMaxHostNameLength) return fail(kLinkInvalidArgument);
        address.host.assign(host, length);
    } else {
        std::memcpy(&address.link, linkArg, sizeof address.link);
    }
    if (const int32_t status = CheckAddress(address); status != kLinkOk) return fail(status);
    BoardRegistry& registry = BoardRegistry::Instance();
    if (type == DRELM_LINK_ETHERNET && !registry.IsKnownHost(address.host)) return fail(kLinkUnknownHost);
    if (const auto status = FaultInjector::Instance().Check(Op::Open, std::nullopt, base)) return fail(*status);
    int32_t handle = -1;
    const int32_t status = registry.Open(address, handle);
    if (status != kLinkOk) return fail(status);
    *linkHandle = handle;
    Record(Op::Open, handle, base, static_cast<uint32_t>(handle), kLinkOk);
    return kLinkOk;
}

// One register read or write on a locked, open board, with faults; recorded.
int32_t ReadOne(Op op, int32_t link, Board* board, uint32_t address, uint32_t* value) {
    uint32_t read = 0;
    int32_t status = kLinkGenericFailure;
    if (const auto fault = Faulted(op, link, address))
        status = *fault;
    else
        status = board->Read(address, read);
    if (status == kLinkOk) *value = read;
    Record(op, link, address, status == kLinkOk ? read : 0, status);
    return status;
}

int32_t WriteOne(Op op, int32_t link, Board* board, uint32_t address, uint32_t value) {
    int32_t status = kLinkGenericFailure;
    if (const auto fault = Faulted(op, link, address))
        status = *fault;
    else
        status = board->Write(address, value);
    Record(op, link, address, value, status);
    return status;
}

// A register list: one access per item, in order, each recorded as an item
// of one call; `access` gets the locked board (nullptr when the link is not
// open) and the item's index. The first failing item's status is the result.
template <typename ItemAccess>
int32_t RunList(int32_t linkHandle, int32_t count, int32_t* statuses, ItemAccess access) {
    LockedBoard board = Lock(linkHandle);
    int32_t result = kLinkOk;
    ListItems items(count);
    for (int32_t i = 0; i < count; ++i) {
        items.At(i);
        const int32_t status = access(board ? board.board.get() : nullptr, i);
        if (statuses) statuses[i] = status;
        if (result == kLinkOk) result = status;
    }
    board.FinishTransfer(sizeof(uint32_t) * static_cast<uint64_t>(count));
    return result;
}

}  // namespace
}  // namespace drelm::emu

using namespace drelm::emu;

extern "C" {

DRELM_COMM_API int32_t LinkOpen(int32_t connectionType, const void* linkArg, int32_t node, uint32_t baseAddress,
                                int32_t* linkHandle) {
    return Guarded([&] { return OpenLink(connectionType, linkArg, node, baseAddress, linkHandle); });
}

DRELM_COMM_API int32_t LinkClose(int32_t linkHandle) {
    return Guarded([&] {
        int32_t status = kLinkGenericFailure;
        if (!BoardRegistry::Instance().Find(linkHandle))
            status = kLinkGenericFailure;
        else if (const auto fault = Faulted(Op::Close, linkHandle, 0))
            status = *fault;
        else
            status = BoardRegistry::Instance().Close(linkHandle);
        Record(Op::Close, linkHandle, 0, 0, status);
        return status;
    });
}

DRELM_COMM_API int32_t LinkReadRegister(int32_t linkHandle, uint32_t address, uint32_t* value) {
    return Guarded([&] {
        if (!value) {
            Record(Op::ReadRegister, linkHandle, address, 0, kLinkInvalidArgument);
            return static_cast<int32_t>(kLinkInvalidArgument);
        }
        LockedBoard board = Lock(linkHandle);
        if (!board) {
            Record(Op::ReadRegister, linkHandle, address, 0, kLinkGenericFailure);
            return static_cast<int32_t>(kLinkGenericFailure);
        }
        const int32_t status = ReadOne(Op::ReadRegister, linkHandle, board.board.get(), address, value);
        board.FinishTransfer(sizeof(uint32_t));
        return status;
    });
}

DRELM_COMM_API int32_t LinkWriteRegister(int32_t linkHandle, uint32_t address, uint32_t value) {
    return Guarded([&] {
        LockedBoard board = Lock(linkHandle);
        if (!board) {
            Record(Op::WriteRegister, linkHandle, address, value, kLinkGenericFailure);
            return static_cast<int32_t>(kLinkGenericFailure);
        }
        const int32_t status = WriteOne(Op::WriteRegister, linkHandle, board.board.get(), address, value);
        board.FinishTransfer(sizeof(uint32_t));
        return status;
    });
}

DRELM_COMM_API int32_t LinkWriteRegisters(int32_t linkHandle, const uint32_t* addresses, int32_t count,
                                          const uint32_t* values, int32_t* statuses) {
    return Guarded([&] {
        if (count < 0 || (count > 0 && (!addresses || !values))) {
            Record(Op::WriteRegisters, linkHandle, 0, 0, kLinkInvalidArgument);
            return static_cast<int32_t>(kLinkInvalidArgument);
        }
        return RunList(linkHandle, count, statuses, [&](Board* board, int32_t i) {
            if (!board) {
                Record(Op::WriteRegisters, linkHandle, addresses[i], values[i], kLinkGenericFailure);
                return static_cast<int32_t>(kLinkGenericFailure);
            }
            return WriteOne(Op::WriteRegisters, linkHandle, board, addresses[i], values[i]);
        });
    });
}

DRELM_COMM_API int32_t LinkReadRegisters(int32_t linkHandle, const uint32_t* addresses, int32_t count,
                                         uint32_t* values, int32_t* statuses) {
    return Guarded([&] {
        if (count < 0 || (count > 0 && (!addresses || !values))) {
            Record(Op::ReadRegisters, linkHandle, 0, 0, kLinkInvalidArgument);
            return static_cast<int32_t>(kLinkInvalidArgument);
        }
        return RunList(linkHandle, count, statuses, [&](Board* board, int32_t i) {
            if (!board) {
                Record(Op::ReadRegisters, linkHandle, addresses[i], 0, kLinkGenericFailure);
                return static_cast<int32_t>(kLinkGenericFailure);
            }
            return ReadOne(Op::ReadRegisters, linkHandle, board, addresses[i], &values[i]);
        });
    });
}

DRELM_COMM_API int32_t LinkBlockRead(int32_t linkHandle, uint32_t address, void* buffer, int32_t maxWords,
                                     int32_t* wordsMoved) {
    return Guarded([&] {
        int32_t moved = 0;
        int32_t status = kLinkOk;
        LockedBoard board;
        if (!buffer || !wordsMoved || maxWords < 0 || address != 0) {
            status = kLinkInvalidArgument;
        } else if (!(board = Lock(linkHandle))) {
            status = kLinkGenericFailure;
        } else if (const auto fault = Faulted(Op::BlockRead, linkHandle, address)) {
            status = *fault;
        } else {
            status = board->BlockRead(static_cast<unsigned char*>(buffer), maxWords, moved);
        }
        if (wordsMoved && status != kLinkInvalidArgument) *wordsMoved = moved;
        Record(Op::BlockRead, linkHandle, address, static_cast<uint32_t>(moved), status);
        board.FinishTransfer(sizeof(uint32_t) * static_cast<uint64_t>(moved));
        return status;
    });
}

DRELM_COMM_API int32_t LinkQueryInfo(int32_t linkHandle, int32_t kind, void* info) {
    return Guarded([&] {
        int32_t status = kLinkOk;
        uint32_t value = 0;
        LockedBoard board;
        if (!info || kind != DRELM_QUERY_LINK_INFO) {
            status = kLinkInvalidArgument;
        } else if (!(board = Lock(linkHandle))) {
            status = kLinkGenericFailure;
        } else if (const auto fault = Faulted(Op::QueryInfo, linkHandle, static_cast<uint32_t>(kind))) {
            status = *fault;
        } else {
            const uint8_t* bytes = board->config().linkInfo;
            std::memcpy(info, bytes, 4);
            value = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
        }
        Record(Op::QueryInfo, linkHandle, static_cast<uint32_t>(kind), value, status);
        return status;
    });
}

}  // extern "C"
