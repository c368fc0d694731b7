// Comments, indentation, sections and the scope of board and group keys.
#include "ConfigCases.h"

namespace tessary::test {
namespace {

class SectionsAndScopes : public testing::TestWithParam<ConfigCase> {};

TEST_P(SectionsAndScopes, ParsesAsExpected) { RunCase(GetParam()); }

void ExpectPolarities(const DaqConfig& c, std::initializer_list<int32_t> expected) {
    int j = 0;
    for (int32_t p : expected) EXPECT_EQ(c.boards[j++].polarity, p) << "board " << (j - 1);
}

const ConfigCase kCases[] = {
    {"CommentAndBlankLinesAroundOneOpenChangeNoDefault",
     "# a comment\n\n   \n\t# indented\n" + kOneBoard, 0, "",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.boardCount, 1);
         EXPECT_EQ(c.outfilePath, kDefaultOutput);
         EXPECT_STREQ(c.outfileName, "run0");
         EXPECT_EQ(c.gnuplotPath, kUserFolder + kSep);
         EXPECT_EQ(c.outfileRaw, 0);
         EXPECT_EQ(c.statRefresh, 0);
         EXPECT_EQ(c.plotChannelMask, 0);
     }},
    {"IndentedKeyIsAComment", kOneBoard + " POLARITY NEGATIVE\n\tPOLARITY NEGATIVE\n\rPOLARITY NEGATIVE\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].polarity, 1); }},
    {"HashLaterInLineIsAToken", kOneBoard + "STAT_REFRESH 500 # twice a second\n", 0,
     "WARNING: too many arguments in STAT_REFRESH. the first exceeding argument is #\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.statRefresh, 500); }},
    {"TabsAndCarriageReturnsSeparateTokens", kOneBoard + "STAT_REFRESH\t\t250\r\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.statRefresh, 250); }},
    {"BoardKeyBeforeOpenChangesNothing", "POLARITY NEGATIVE\n" + kTwoBoards, 0, "",
     [](const DaqConfig& c) { ExpectPolarities(c, {1, 1}); }},
    {"BoardKeyBeforeOpenIsNotChecked", "POLARITY SIDEWAYS\nGATE_WIDTH lots\n" + kOneBoard, 0, "", nullptr},
    {"BoardKeyAfterTwoOpensSetsBoth", kTwoBoards + "POLARITY NEGATIVE\n", 0, "",
     [](const DaqConfig& c) { ExpectPolarities(c, {0, 0}); }},
    {"BoardSectionOneSetsSecondBoardOnly", kTwoBoards + "POLARITY NEGATIVE\n[BOARD 1]\nPOLARITY POSITIVE\n", 0, "",
     [](const DaqConfig& c) { ExpectPolarities(c, {0, 1}); }},
    {"BoardSectionOfUnopenedBoardChangesNothing",
     kOneBoard + "POLARITY NEGATIVE\n[BOARD 1]\nPOLARITY POSITIVE\nPOLARITY maybe\n", 0,
     "Warning: [BOARD 1] at line 3 selects no board: 1 board is opened before it, numbered from 0\n",
     [](const DaqConfig& c) { ExpectPolarities(c, {0}); }},
    {"BoardSectionBeforeItsOpenLineWarnsAndSelectsItOnceOpened", "[BOARD 0]\nOPEN USB 0\nPOLARITY NEGATIVE\n", 0,
     "Warning: [BOARD 0] at line 1 selects no board: no board is opened before it\n",
     [](const DaqConfig& c) { ExpectPolarities(c, {0}); }},
    {"BoardSectionNumberIsThePositionOfTheOpenLine",
     "OPEN USB 3\n[BOARD 0]\nOPEN USB 7\nPOLARITY NEGATIVE\n[COMMON]\nINPUT_RANGE 4V\n", 0, "",
     [](const DaqConfig& c) {
         ExpectPolarities(c, {0, 1});
         EXPECT_EQ(c.boards[0].inputRange, 1);
         EXPECT_EQ(c.boards[1].inputRange, 1);
     }},
    {"GroupSectionSetsOneGroupOfSelectedBoard",
     kTwoBoards + "ZS_THRESHOLD 7\n[BOARD 0]\n[GROUP 3]\nZS_THRESHOLD 50\n", 0, "",
     [](const DaqConfig& c) {
         for (int g = 0; g < 8; ++g) {
             EXPECT_EQ(c.boards[0].zsThreshold[g], g == 3 ? 50 : 7) << g;
             EXPECT_EQ(c.boards[1].zsThreshold[g], 7) << g;
         }
     }},
    {"CommonSectionSetsAllGroupsOfEveryBoard", kTwoBoards + "[GROUP 2]\n[COMMON]\nZS_THRESHOLD 50\n", 0, "",
     [](const DaqConfig& c) {
         for (int g = 0; g < 8; ++g) {
             EXPECT_EQ(c.boards[0].zsThreshold[g], 50);
             EXPECT_EQ(c.boards[1].zsThreshold[g], 50);
         }
     }},
    {"GroupSectionKeepsBoardSelection", kTwoBoards + "[BOARD 1]\n[GROUP 0]\nZS_THRESHOLD 9\nPOLARITY NEGATIVE\n", 0,
     "",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.boards[0].zsThreshold[0], 0);
         EXPECT_EQ(c.boards[1].zsThreshold[0], 9);
         EXPECT_EQ(c.boards[1].zsThreshold[1], 0);
         ExpectPolarities(c, {1, 0});
     }},
    {"LaterBoardSectionResetsGroupSelection", kTwoBoards + "[GROUP 5]\n[BOARD 0]\nZS_THRESHOLD 11\n", 0, "",
     [](const DaqConfig& c) {
         for (int g = 0; g < 8; ++g) EXPECT_EQ(c.boards[0].zsThreshold[g], 11);
         EXPECT_EQ(c.boards[1].zsThreshold[0], 0);
     }},
    {"GroupBeyondSevenSetsNoGroup", kOneBoard + "[GROUP 8]\nZS_THRESHOLD 11\n", 0,
     "Warning: [GROUP 8] at line 2 selects no group: a board has groups 0 to 7\n",
     [](const DaqConfig& c) {
         for (int g = 0; g < 8; ++g) EXPECT_EQ(c.boards[0].zsThreshold[g], 0);
     }},
    {"SectionNameIsMatchedAnywhereInTheToken", kTwoBoards + "[board-BOARD]x 1] trailing words\nPOLARITY NEGATIVE\n", 0,
     "", [](const DaqConfig& c) { ExpectPolarities(c, {1, 0}); }},
    {"UnknownSectionChangesNothing", kTwoBoards + "[BOARD 1]\n[CHANNEL 4]\nPOLARITY NEGATIVE\n", 0, "",
     [](const DaqConfig& c) { ExpectPolarities(c, {1, 0}); }},
    {"GroupGraphNeedsASelectedBoard", kOneBoard + "[BOARD 4]\nGROUP_GRAPH 3\n[COMMON]\nENABLE_GRAPH 5\n", 0,
     "Warning: [BOARD 4] at line 2 selects no board: 1 board is opened before it, numbered from 0\n",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.plotGroup, 0);
         EXPECT_EQ(c.plotChannelMask, 5);
     }},
    {"GroupGraphWithSelectedBoard", kOneBoard + "[BOARD 0]\nGROUP_GRAPH 3\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.plotGroup, 3); }},
    {"GlobalKeyInBoardSectionIsGlobal", kOneBoard + "[BOARD 9]\nOUTFILE_RAW YES\n", 0,
     "Warning: [BOARD 9] at line 2 selects no board: 1 board is opened before it, numbered from 0\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.outfileRaw, 1); }},
    {"UnknownKeyNamesItsLineCountingComments",
     "# 1\n\n# 3\nOPEN USB 0\n# 5\n\n\n   # 8\n# 9\nSTAT_REFRESH 10\n\nPOLARITI NEGATIVE\nSTAT_REFRESH 99\n", 2,
     "POLARITI: invalid setting at line 12\n",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.statRefresh, 10);  // lines before the error stay applied
         EXPECT_EQ(c.boardCount, 1);
     }},
    {"KeysAreCaseSensitive", kOneBoard + "stat_refresh 10\n", 2, "stat_refresh: invalid setting at line 2\n", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Config, SectionsAndScopes, testing::ValuesIn(kCases), CaseName);

}  // namespace
}  // namespace tessary::test
