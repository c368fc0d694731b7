#include "BoardTable.h"

namespace drelm::tsy {
namespace {

// Holds the entries without ever destroying them: its destructor does
// nothing, so a thread still calling in during exit finds every entry and
// its lock intact.
union NeverDestroyed {
    NeverDestroyed() : entries() {}
    ~NeverDestroyed() {}
    BoardEntry entries[kMaxBoards];
};

// Built on first use rather than by a static initialiser of this file, so
// that a static initialiser elsewhere (in this library or in a program) that
// reaches a board never finds the table unbuilt.
BoardEntry* Table() {
    static NeverDestroyed table;
    return table.entries;
}

}  // namespace

BoardEntry& Board(int32_t index) { return Table()[index]; }

bool IsOpen(int32_t handle) {
    return static_cast<uint32_t>(handle) < static_cast<uint32_t>(kMaxBoards) && Table()[handle].inUse == 1;
}

}  // namespace drelm::tsy
