#include "EmulatedBoards.h"

#include <cstdio>
#include <mutex>
#include <sstream>

namespace tessary_test {
namespace {

std::mutex g_sleepMutex;
std::vector<uint32_t> g_sleeps;

void VirtualSleep(uint32_t milliseconds) {
    {
        std::lock_guard<std::mutex> hold(g_sleepMutex);
        g_sleeps.push_back(milliseconds);
    }
    drelm::emu::AdvanceClock(uint64_t{milliseconds} * 1'000'000u);
}

std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", v);
    return text;
}

}  // namespace

const char* OpName(Op op) {
    switch (op) {
        case Op::Open: return "Open";
        case Op::Close: return "Close";
        case Op::ReadRegister: return "Read";
        case Op::WriteRegister: return "Write";
        case Op::WriteRegisters: return "WriteList";
        case Op::ReadRegisters: return "ReadList";
        case Op::BlockRead: return "BlockRead";
        case Op::QueryInfo: return "QueryInfo";
    }
    return "?";
}

std::string Describe(const Access& a) {
    std::ostringstream out;
    out << OpName(a.op) << ' ' << Hex(a.address) << " = " << Hex(a.value) << " (status " << a.status << ')';
    return out.str();
}

::testing::AssertionResult TrafficIs(const std::vector<Access>& actual, const std::vector<Expect>& expected) {
    std::ostringstream report;
    bool ok = actual.size() == expected.size();
    const size_t n = std::max(actual.size(), expected.size());
    for (size_t i = 0; i < n; ++i) {
        std::string want = "-";
        std::string got = "-";
        bool same = false;
        if (i < expected.size()) {
            const Expect& e = expected[i];
            want = std::string(OpName(e.op)) + ' ' + Hex(e.address) +
                   (e.value ? " = " + Hex(*e.value) : std::string(" = *")) + " (status " + std::to_string(e.status) + ')';
        }
        if (i < actual.size()) got = Describe(actual[i]);
        if (i < expected.size() && i < actual.size()) {
            const Expect& e = expected[i];
            const Access& a = actual[i];
            same = e.op == a.op && e.address == a.address && (!e.value || *e.value == a.value) && e.status == a.status;
        }
        ok = ok && same;
        report << (same ? "   " : "!! ") << i << ": expected " << want << ", got " << got << '\n';
    }
    if (ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "link traffic differs:\n" << report.str();
}

std::vector<Access> RegisterAccesses(const std::vector<Access>& traffic) {
    std::vector<Access> out;
    for (const Access& a : traffic)
        if (a.op == Op::ReadRegister || a.op == Op::WriteRegister) out.push_back(a);
    return out;
}

std::vector<uint32_t> SleepLog() {
    std::lock_guard<std::mutex> hold(g_sleepMutex);
    return g_sleeps;
}

void EmulatedBoardTest::SetUp() {
    drelm::emu::ResetEmulator();
    drelm::emu::UseVirtualClock(true);
    {
        std::lock_guard<std::mutex> hold(g_sleepMutex);
        g_sleeps.clear();
    }
    previousSleep_ = drelm::tsy::SetSleepFunction(&VirtualSleep);
}

void EmulatedBoardTest::TearDown() {
    drelm::emu::ClearFaults();
    for (int32_t h = 0; h < DRELM_TSY_MAX_BOARDS; ++h) DRELM_TSY_CloseTessary(h);
    drelm::tsy::SetSleepFunction(previousSleep_);
    drelm::emu::UseVirtualClock(false);
    drelm::emu::ResetEmulator();
}

int32_t EmulatedBoardTest::OpenBoard(int32_t link, const drelm::emu::BoardConfig* config) {
    if (config) drelm::emu::ConfigureBoard(drelm::emu::BoardAddress{0, link, "", 0, 0}, *config);
    int32_t handle = -1;
    const int32_t status = DRELM_TSY_OpenTessary(0, link, 0, 0, &handle);
    EXPECT_EQ(status, 0) << "opening USB link " << link;
    return handle;
}

int32_t EmulatedBoardTest::Open32(int32_t link) {
    drelm::emu::BoardConfig config;
    config.channels = 32;
    return OpenBoard(link, &config);
}

int32_t EmulatedBoardTest::LinkOf(int32_t handle) {
    BoardInfo info{};
    EXPECT_EQ(DRELM_TSY_GetInfo(handle, &info), 0);
    return info.linkHandle;
}

uint32_t EmulatedBoardTest::Peek(int32_t handle, uint32_t address) {
    uint32_t value = 0;
    EXPECT_TRUE(drelm::emu::PeekRegister(LinkOf(handle), address, &value)) << "peek " << address;
    return value;
}

void EmulatedBoardTest::Poke(int32_t handle, uint32_t address, uint32_t value) {
    EXPECT_TRUE(drelm::emu::PokeRegister(LinkOf(handle), address, value)) << "poke " << address;
}

}  // namespace tessary_test
