#include "BoardTable.h"

#include <new>

namespace drelm::tsy {
namespace {

BoardEntry* MakeTable() {
    // Placement into static storage that is never destroyed.
    alignas(BoardEntry) static unsigned char storage[sizeof(BoardEntry) * kMaxBoards];
    auto* table = reinterpret_cast<BoardEntry*>(storage);
    for (int i = 0; i < kMaxBoards; ++i) new (&table[i]) BoardEntry();
    return table;
}

BoardEntry* const g_table = MakeTable();

}  // namespace

BoardEntry& Board(int32_t index) { return g_table[index]; }

bool IsOpen(int32_t handle) {
    return static_cast<uint32_t>(handle) < static_cast<uint32_t>(kMaxBoards) && g_table[handle].inUse == 1;
}

}  // namespace drelm::tsy
