// The OPEN line: the five connection keywords, their required and optional
// arguments, and the refusals.
#include <string>

#include "ConfigCases.h"

namespace tessary::test {
namespace {

class OpenLine : public testing::TestWithParam<ConfigCase> {};

TEST_P(OpenLine, ParsesAsExpected) { RunCase(GetParam()); }

void ExpectBoard(const BoardSettings& b, int32_t type, int32_t link, int32_t node, uint32_t base) {
    EXPECT_EQ(b.connectionType, type);
    EXPECT_EQ(b.linkNumber, link);
    EXPECT_EQ(b.nodeNumber, node);
    EXPECT_EQ(b.baseAddress, base);
    // A new board starts from the same defined values whatever its link.
    EXPECT_EQ(b.ioLevel, 1);
    EXPECT_EQ(b.gateWidth, 256u);
    for (int g = 0; g < 8; ++g) EXPECT_EQ(b.groupEnableMask[g], 0);
}

const std::string kName70(70, 'h');

const ConfigCase kCases[] = {
    {"UsbLinkOnly", "OPEN USB 0\n", 0, "",
     [](const DaqConfig& c) {
         ASSERT_EQ(c.boardCount, 1);
         ExpectBoard(c.boards[0], 0, 0, 0, 0);
     }},
    {"UsbWithOptionalBaseAddress", "OPEN USB 2 0x32100000\n", 0, "",
     [](const DaqConfig& c) { ExpectBoard(c.boards[0], 0, 2, 0, 0x32100000u); }},
    {"UsbBaseAddressOctalAndDecimal", "OPEN USB 1 017\nOPEN USB 1 4294967295\n", 0, "",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.boards[0].baseAddress, 017u);
         EXPECT_EQ(c.boards[1].baseAddress, 0xFFFFFFFFu);
     }},
    {"BaseAddressStopsAtFirstCharacterOutsideItsBase", "OPEN USB 0 0x1Fz\nOPEN USB 0 0789\nOPEN USB 0 0x\n", 0, "",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.boards[0].baseAddress, 0x1Fu);
         EXPECT_EQ(c.boards[1].baseAddress, 07u);
         EXPECT_EQ(c.boards[2].baseAddress, 0u);
     }},
    {"LinkAndNodeBeyond32BitsWarn", "OPEN PCI 99999999999 4294967296\n", 0,
     "Warning: OPEN 99999999999 at line 1 is beyond the 32-bit range; it is read as 2147483647\n"
     "Warning: OPEN 4294967296 at line 1 is beyond the 32-bit range; it is read as 2147483647\n",
     [](const DaqConfig& c) { ExpectBoard(c.boards[0], 1, INT32_MAX, INT32_MAX, 0); }},
    {"PciLinkAndNode", "OPEN PCI 1 3\n", 0, "",
     [](const DaqConfig& c) { ExpectBoard(c.boards[0], 1, 1, 3, 0); }},
    {"PciWithBaseAddress", "OPEN PCI 0 1 0XAB\n", 0, "",
     [](const DaqConfig& c) { ExpectBoard(c.boards[0], 1, 0, 1, 0xABu); }},
    {"UsbR210LinkNodeBase", "OPEN USB_R210 4 2 0xEE000000\n", 0, "",
     [](const DaqConfig& c) { ExpectBoard(c.boards[0], 5, 4, 2, 0xEE000000u); }},
    {"EthR330HostAndBase", "OPEN ETH_R330 192.168.0.7 0x10000\n", 0, "",
     [](const DaqConfig& c) {
         ExpectBoard(c.boards[0], 6, 0, 0, 0x10000u);
         EXPECT_STREQ(c.boards[0].hostName, "192.168.0.7");
     }},
    {"EthR330LongHostNameKeeps63", "OPEN ETH_R330 " + kName70 + " 0x10000\n", 0,
     "Warning: host name at line 1 is longer than 63 characters; only the first 63 are kept\n",
     [](const DaqConfig& c) {
         EXPECT_EQ(std::string(c.boards[0].hostName), std::string(63, 'h'));
         EXPECT_EQ(c.boards[0].baseAddress, 0x10000u);
     }},
    {"UsbR330LinkAndHexBase", "OPEN USB_R330 0 0x32100000\n", 0, "",
     [](const DaqConfig& c) { ExpectBoard(c.boards[0], 7, 0, 0, 0x32100000u); }},
    {"OpenWithoutKeyword", "OPEN\nOPEN USB 0\n", 0, "No 1st argument for OPEN. The command will be ignored\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.boardCount, 1); }},
    {"UsbWithoutLink", "OPEN USB\nOPEN USB 0\n", 0, "No 2nd argument for OPEN. The command will be ignored\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.boardCount, 1); }},
    {"EthR330WithoutHost", "OPEN ETH_R330\nOPEN USB 0\n", 0,
     "No 2nd argument for OPEN. The command will be ignored\n", nullptr},
    {"UsbR330WithoutBase", "OPEN USB_R330 0\nOPEN USB 5\n", 0,
     "No 3rd argument for OPEN. The command will be ignored\n",
     [](const DaqConfig& c) {
         ASSERT_EQ(c.boardCount, 1);
         EXPECT_EQ(c.boards[0].linkNumber, 5);
     }},
    {"PciWithoutNode", "OPEN PCI 0\nOPEN USB_R210 0\nOPEN ETH_R330 host\nOPEN USB 0\n", 0,
     "No 3rd argument for OPEN. The command will be ignored\n"
     "No 3rd argument for OPEN. The command will be ignored\n"
     "No 3rd argument for OPEN. The command will be ignored\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.boardCount, 1); }},
    {"UnknownConnectionKeyword", "OPEN USB 0\nOPEN usb 0\n", 2, "usb OPEN: Invalid connection type\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.boardCount, 1); }},
    {"SurplusAfterUsbBase", "OPEN USB 0 0x10 extra\n", 0,
     "WARNING: too many arguments in OPEN. the first exceeding argument is extra\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.boardCount, 1); }},
    {"SurplusAfterUsbR330Base", "OPEN USB_R330 0 0x10 1 2\n", 0,
     "WARNING: too many arguments in OPEN. the first exceeding argument is 1\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].baseAddress, 0x10u); }},
    {"SurplusAfterEthR330Base", "OPEN ETH_R330 h 0x10 more\n", 0,
     "WARNING: too many arguments in OPEN. the first exceeding argument is more\n", nullptr},
    {"SurplusAfterPciBase", "OPEN PCI 0 0 0 x\n", 0,
     "WARNING: too many arguments in OPEN. the first exceeding argument is x\n", nullptr},
    {"LinkWithTrailingTextStopsAtIt", "OPEN USB 3rd\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].linkNumber, 3); }},
    // Refused: a board that could only be reached by a number that is not one.
    {"LinkWithoutDigitsRefused", "OPEN USB first\n", 2, "OPEN = first: invalid number at line 1\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.boardCount, 0); }},
    {"NegativeLinkRefused", "OPEN USB -1\n", 2, "OPEN = -1: value out of range at line 1\n", nullptr},
    {"NegativeNodeRefused", "OPEN PCI 0 -2\n", 2, "OPEN = -2: value out of range at line 1\n", nullptr},
    {"BaseAddressWithoutDigitsRefused", "OPEN USB_R330 0 base\n", 2, "OPEN = base: invalid number at line 1\n",
     nullptr},
    // A negative address is out of range, like a negative link or node.
    {"NegativeBaseAddressRefused", "OPEN USB 0 -16\n", 2, "OPEN = -16: value out of range at line 1\n", nullptr},
    {"NegativeRequiredBaseAddressRefused", "OPEN USB_R330 0 -0x10\n", 2,
     "OPEN = -0x10: value out of range at line 1\n", nullptr},
    {"BaseAddressWithPlusSignOrMinusZero", "OPEN USB 0 +16\nOPEN USB 0 -0\n", 0, "",
     [](const DaqConfig& c) {
         ASSERT_EQ(c.boardCount, 2);
         EXPECT_EQ(c.boards[0].baseAddress, 16u);
         EXPECT_EQ(c.boards[1].baseAddress, 0u);
     }},

    // A trailing comment where the optional base address would stand is no
    // base address; the tokens after it are surplus.
    {"UsbTrailingCommentIsNoBaseAddress", "OPEN USB 0 # board A\n", 0,
     "WARNING: too many arguments in OPEN. the first exceeding argument is board\n",
     [](const DaqConfig& c) {
         ASSERT_EQ(c.boardCount, 1);
         ExpectBoard(c.boards[0], 0, 0, 0, 0);
     }},
    {"UsbCommentMarkAloneIsNoBaseAddress", "OPEN USB 2 #\nOPEN USB 3 #crate-2\n", 0, "",
     [](const DaqConfig& c) {
         ASSERT_EQ(c.boardCount, 2);
         ExpectBoard(c.boards[0], 0, 2, 0, 0);
         ExpectBoard(c.boards[1], 0, 3, 0, 0);
     }},
    {"PciAndUsbR210TrailingCommentIsNoBaseAddress", "OPEN PCI 0 1 # crate 2\nOPEN USB_R210 1 2 #x\n", 0,
     "WARNING: too many arguments in OPEN. the first exceeding argument is crate\n",
     [](const DaqConfig& c) {
         ASSERT_EQ(c.boardCount, 2);
         ExpectBoard(c.boards[0], 1, 0, 1, 0);
         ExpectBoard(c.boards[1], 5, 1, 2, 0);
     }},
    {"CommentAfterBaseAddressIsSurplus", "OPEN USB 0 0x10 # board A\n", 0,
     "WARNING: too many arguments in OPEN. the first exceeding argument is #\n",
     [](const DaqConfig& c) { ExpectBoard(c.boards[0], 0, 0, 0, 0x10u); }},
    // Where an argument is required, a comment does not stand in for it.
    {"CommentInPlaceOfRequiredBaseAddressRefused", "OPEN USB_R330 0 # none\n", 2,
     "OPEN = #: invalid number at line 1\n", [](const DaqConfig& c) { EXPECT_EQ(c.boardCount, 0); }},
    {"CommentInPlaceOfNodeRefused", "OPEN PCI 0 # node\n", 2, "OPEN = #: invalid number at line 1\n", nullptr},
    {"OptionalBaseAddressWordIsNoAddress", "OPEN USB 0\nOPEN PCI 1 2 boardB spare\n", 0,
     "Warning: OPEN boardB at line 2 is not a base address; the board is added with base address 0\n"
     "WARNING: too many arguments in OPEN. the first exceeding argument is spare\n",
     [](const DaqConfig& c) { ExpectBoard(c.boards[1], 1, 1, 2, 0); }},
    {"BaseAddressBeyond32BitsRefused", "OPEN USB 0 0x100000000\n", 2,
     "OPEN = 0x100000000: value out of range at line 1\n", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Config, OpenLine, testing::ValuesIn(kCases), CaseName);

TEST(OpenLineLimit, HundredBoardsAcceptedAndTheNextRefusedNamingItsLine) {
    std::string text = "# boards\n";
    for (int i = 0; i < 100; ++i) text += "OPEN USB " + std::to_string(i) + "\n";
    Parsed accepted = ParseText(text);
    EXPECT_EQ(accepted.result, 0);
    EXPECT_EQ(accepted.messages, "");
    ASSERT_EQ(accepted.config->boardCount, 100);
    EXPECT_EQ(accepted.config->boards[99].linkNumber, 99);

    Parsed refused = ParseText(text + "OPEN USB 100\n");
    EXPECT_EQ(refused.result, 2);
    EXPECT_EQ(refused.messages, "OPEN: more than 100 boards at line 102\n");
    EXPECT_EQ(refused.config->boardCount, 100);
}

}  // namespace
}  // namespace tessary::test
