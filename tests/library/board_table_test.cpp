// The board table is there whenever it is first reached, even from a static
// initialiser that runs before the library's own.
#include <gtest/gtest.h>

#include "DrelmTessaryLib.h"

namespace tessary_test {
namespace {

// This file's objects come ahead of the library's in the link, so this runs
// before any initialiser of the library.
BoardInfo g_info{};
const int32_t g_statusBeforeMain = DRELM_TSY_GetInfo(0, &g_info);

TEST(BoardTableTest, ReachableFromAStaticInitialiser) {
    EXPECT_EQ(g_statusBeforeMain, DRELM_TSY_InvalidHandle);
}

}  // namespace
}  // namespace tessary_test
