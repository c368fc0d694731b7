// What an emulated board delivers through the library, with a fixed seed:
// dead time and pile-up that follow the rate and the gate, spectra without
// a comb, the status bits a host must ignore, time counters that run from
// the reset, start modes that wait for their signal, and settings that show
// in the data when they are wrong.
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "EmulatedBoards.h"

namespace tessary_test {
namespace {

struct Program {
    uint32_t recordLength = 256;  // 4.096 us gate
    uint32_t polarity = 0;        // the default source gives negative pulses
    uint32_t inputRange = 0;
    bool slidingScale = false;
    bool softwareTriggers = false;  // one per readout, as the program's continuous mode sends
};

// What a run delivered, from the decoded records and the raw words.
struct Tally {
    uint64_t transfers = 0, spareWords = 0, events = 0, amplitudes = 0, peakFlags = 0, saturated = 0;
    uint64_t statusWrong = 0, blocks = 0, headerStatus = 0, pileUpEvents = 0, laterPileUp = 0, onlyBlock2 = 0;
    uint32_t counter = 0;  // the accepted-event counter word 2 carries next
    uint64_t peaks[2] = {0, 0}, abovePeak[2] = {0, 0};  // pulses of clean [0] and piled-up [1] blocks
    uint32_t deadUnits = 0, totalUnits = 0;
    std::vector<uint32_t> spectrum = std::vector<uint32_t>(2 * 16384);  // channels 0 and 1
    std::vector<uint16_t> channel0;                                      // every amplitude word of channel 0

    void Count(const uint32_t* words, uint32_t count, const EventRecord* records, uint32_t n) {
        uint32_t at = 0;
        for (const EventRecord* r = records; r != records + n; at += r->eventSize, ++r) {
            const uint32_t word1 = words[at + 1], word2 = words[at + 2];
            if (events == 0 && r == records) counter = word2 >> 24;
            uint32_t flagged = 0;
            for (uint32_t p = 0; p < 4; ++p) {
                if (!(words[at + 1] & 1u << 2 * p)) continue;
                const EventBlock& b = r->blocks[p];
                ++blocks;
                headerStatus += b.headerField != 0 || b.headerFlag != 0;
                flagged |= b.pileUp << p;
                for (uint32_t k = 0, i = 0; k < 16; ++k) {
                    if (!(b.channelMask >> k & 1)) continue;
                    const uint16_t a = b.amplitudes[i++];
                    ++amplitudes;
                    peakFlags += (a & 0x4000) != 0;
                    saturated += (a & 0x8000) != 0;
                    if (a & 0x4000) ++peaks[b.pileUp], abovePeak[b.pileUp] += (a & 0x3FFF) > 8000 || (a & 0x8000);
                    if (p == 0 && k == 0) channel0.push_back(a);
                    if (p == 0 && k < 2 && !(a & 0x8000)) ++spectrum[16384 * k + (a & 0x3FFF)];
                }
            }
            // Board id 0xD2 (serial 1234), one trigger source, the pile-up
            // bit as the blocks say, the counter one up from the last event.
            statusWrong += (word1 >> 24) != 0xD2 || (word1 >> 1 & 1) + (word1 >> 3 & 1) != 1 ||
                           (word1 >> 5 & 1) != (flagged != 0) || (word2 >> 24) != (counter++ & 0xFF);
            pileUpEvents += flagged != 0;
            laterPileUp += flagged != 0 && !(flagged & 1);
            onlyBlock2 += flagged == 4;
        }
        transfers += n > 0;
        spareWords += n > 0 && count == at + 1;
        events += n;
    }
};

class EmulatedBoardDataTest : public EmulatedBoardTest {
protected:
    // Opens a board described by `config`, programs it as the acquisition
    // program does (groups in `groups` with all their channels) and runs it
    // for `ms` of emulated time, reading out every `stepUs`.
    Tally Run(const drelm::emu::BoardConfig& config, const Program& p, uint64_t ms, uint32_t groups = 0xFF,
              int32_t link = 0, const std::function<void(int32_t)>& before = nullptr) {
        Tally t;
        const int32_t h = OpenBoard(link, &config);
        int32_t status = DRELM_TSY_SetSWTriggerMode(h, 1) | DRELM_TSY_SetExtTriggerInputMode(h, 1) |
                         DRELM_TSY_SetRecordLength(h, p.recordLength) |
                         (p.slidingScale ? DRELM_TSY_SlScaleEnable(h) : DRELM_TSY_SlScaleDisable(h)) |
                         DRELM_TSY_SetPolarity(h, p.polarity) | DRELM_TSY_SetInputRange(h, p.inputRange) |
                         DRELM_TSY_SetGroupEnableMask(h);
        for (int32_t g = 0; g < 8; ++g) status |= DRELM_TSY_SetChannelEnableMask(h, g, (groups >> g & 1) ? 0xFF : 0);
        EXPECT_EQ(status, 0);
        if (before) before(h);
        void* buffer = nullptr;
        uint32_t size = 0, total0 = 0, dead0 = 0, total = 0, dead = 0;
        EXPECT_EQ(DRELM_TSY_MallocReadoutBuffer(h, &buffer, &size), 0);
        std::vector<EventRecord> records(DRELM_TSY_MAX_EVENTS_PER_TRANSFER);
        EXPECT_EQ(DRELM_TSY_SWStartAcquisition(h), 0);
        DRELM_TSY_GetTotalTime(h, &total0);
        DRELM_TSY_GetDeadTime(h, &dead0);
        for (uint64_t at = 0; at < ms; at += 2) {
            drelm::emu::AdvanceClock(2'000'000);
            if (p.softwareTriggers) {
                EXPECT_EQ(DRELM_TSY_SendSWtrigger(h), 0);
            }
            uint32_t bytes = 0, n = 0;
            EXPECT_EQ(DRELM_TSY_ReadData(h, 0, buffer, &bytes), 0);
            const auto* words = static_cast<const uint32_t*>(buffer);
            EXPECT_EQ(DRELM_TSY_GetEvents(h, words, bytes / 4, records.data(), &n), 0);
            t.Count(words, bytes / 4, records.data(), n);
        }
        DRELM_TSY_GetTotalTime(h, &total);
        DRELM_TSY_GetDeadTime(h, &dead);
        t.totalUnits = total - total0;
        t.deadUnits = dead - dead0;
        DRELM_TSY_FreeReadoutBuffer(&buffer);
        EXPECT_EQ(DRELM_TSY_CloseTessary(h), 0);
        return t;
    }
};

drelm::emu::BoardConfig Source(uint32_t rateHz, uint32_t photopeakPercent = 30) {
    drelm::emu::BoardConfig config;
    config.triggerRateHz = rateHz;
    config.photopeakPercent = photopeakPercent;
    return config;
}

// A non-paralysable dead time tau per accepted trigger (gate plus
// conversion) at a Poisson rate r: dead fraction r tau / (1 + r tau).
TEST_F(EmulatedBoardDataTest, DeadTimeAndPileUpFollowTheRateAndTheGate) {
    for (const uint32_t recordLength : {256u, 62u}) {
        SCOPED_TRACE(recordLength);
        Program program;
        program.recordLength = recordLength;
        const Tally t = Run(Source(50000), program, 2000);
        const double rate = 50000, tau = (recordLength * 16 + 2000) * 1e-9, processed = rate / (1 + rate * tau);
        EXPECT_NEAR(double(t.deadUnits) / t.totalUnits, rate * tau / (1 + rate * tau), 0.02 * rate * tau / (1 + rate * tau));
        EXPECT_NEAR(t.events / 2.0, processed, 0.02 * processed) << "processed rate";
        const double pileUp = 1 - std::exp(-rate * recordLength * 16e-9);
        EXPECT_NEAR(double(t.pileUpEvents) / t.events, pileUp, 0.1 * pileUp) << "a pulse inside the gate";
    }
}

TEST_F(EmulatedBoardDataTest, IgnoredBitsCarryValuesAndPileUpIsPerBlock) {
    const Tally t = Run(Source(20000), Program{}, 1000);
    ASSERT_GT(t.events, 15000u);
    EXPECT_EQ(t.statusWrong, 0u) << "status in word 1 and word 2 bits 24-31";
    EXPECT_GT(t.headerStatus, t.blocks * 99 / 100) << "sliding-scale step in the block header";
    EXPECT_NEAR(double(t.peakFlags) / t.amplitudes, 0.70, 0.03) << "bit 14: the channels that saw a pulse";
    EXPECT_NEAR(double(t.saturated) / t.amplitudes, 0.70 * 0.005, 0.0015) << "pulses far over range";
    EXPECT_GT(t.laterPileUp, t.pileUpEvents / 3) << "blocks before the first flagged one still count";
    EXPECT_GT(t.onlyBlock2, 0u);
    EXPECT_GT(double(t.abovePeak[1]) / t.peaks[1], 10.0 * t.abovePeak[0] / t.peaks[0])
        << "piled-up channels carry the sum of two pulses: a continuum above the 662 keV peak";
    EXPECT_NEAR(double(t.spareWords) / t.transfers, 0.5, 0.1) << "one spare word after the last event";
}

// The channel gain is applied before the amplitude is rounded: no bin of the
// continuum stays empty or departs from its neighbours more than counting
// statistics let it (a comb, even smeared by the noise, would).
TEST_F(EmulatedBoardDataTest, ContinuumHasNoComb) {
    drelm::emu::BoardConfig config = Source(200000, 0);
    config.backgroundPercent = 0;
    config.hitPercent = 100;
    Program program;
    program.recordLength = 1;
    const Tally t = Run(config, program, 8000, 0x01);
    for (int ch = 0; ch < 2; ++ch) {
        double chiSquare = 0;
        for (int bin = 16384 * ch + 1000; bin < 16384 * ch + 4000; ++bin) {
            double around = 0;
            for (int d = 1; d <= 5; ++d) around += (t.spectrum[bin - d] + t.spectrum[bin + d]) / 10.0;
            ASSERT_GT(around, 40) << "too few counts to judge";
            EXPECT_GT(t.spectrum[bin], 0u) << "channel " << ch << " bin " << bin % 16384;
            chiSquare += (t.spectrum[bin] - around) * (t.spectrum[bin] - around) / around / 3000;
        }
        EXPECT_LT(chiSquare, 1.3) << "channel " << ch << ": 1.1 for counting statistics alone";
    }
}

TEST_F(EmulatedBoardDataTest, TimeCountersRunFromTheResetAcrossStopAndStart) {
    const int32_t h = OpenBoard(0, nullptr);
    uint32_t atOpen = 0, later = 0;
    ASSERT_EQ(DRELM_TSY_GetTotalTime(h, &atOpen), 0);
    ASSERT_EQ(DRELM_TSY_SWStartAcquisition(h), 0);
    drelm::emu::AdvanceClock(500'000'000);
    ASSERT_EQ(DRELM_TSY_SWStopAcquisition(h), 0);
    drelm::emu::AdvanceClock(500'000'000);
    ASSERT_EQ(DRELM_TSY_SWStartAcquisition(h), 0);
    ASSERT_EQ(DRELM_TSY_GetTotalTime(h, &later), 0);
    EXPECT_GE(later - atOpen, 1907u) << "one second in units of 524.288 us, not cleared by the start";
    ASSERT_EQ(DRELM_TSY_Reset(h), 0);
    ASSERT_EQ(DRELM_TSY_GetTotalTime(h, &later), 0);
    EXPECT_LT(later, 1000u) << "a reset clears it";
}

// Start modes 1 to 3 arm the board; it runs once the start signal comes,
// from the control interface or after the time the settings give.
TEST_F(EmulatedBoardDataTest, StartModesWaitForTheStartSignal) {
    for (const int32_t link : {0, 1}) {
        drelm::emu::BoardConfig config = Source(10000);
        if (link == 1) config.startSignalUs = 150'000;
        const int32_t h = OpenBoard(link, &config);
        ASSERT_EQ(DRELM_TSY_SetExtTriggerInputMode(h, 1) | DRELM_TSY_SetAcquisitionMode(h, 1), 0);
        ASSERT_EQ(DRELM_TSY_SWStartAcquisition(h), 0);
        drelm::emu::AdvanceClock(100'000'000);
        EXPECT_EQ(Peek(h, 0x8104) & 4, 0u) << "armed, not running; link " << link;
        EXPECT_EQ(Peek(h, 0x814C), 0u) << "nothing before the start signal; link " << link;
        if (link == 0) {
            EXPECT_TRUE(drelm::emu::SendStartSignal(LinkOf(h)));
        }
        drelm::emu::AdvanceClock(100'000'000);
        EXPECT_GT(Peek(h, 0x814C), 0u) << "link " << link;
    }
}

// Mis-programming shows in the data: channel 0 of a photopeak source under
// each setting, against the board programmed right.
TEST_F(EmulatedBoardDataTest, SettingsActOnTheAmplitudes) {
    drelm::emu::BoardConfig config = Source(5000, 100);
    config.backgroundPercent = 0;
    config.saturationPermille = 0;
    Program base;
    base.recordLength = 1;  // no pile-up sums in the means
    base.softwareTriggers = true;
    Program wrongPolarity = base, smallRange = base, slide = base;
    wrongPolarity.polarity = 1;
    smallRange.inputRange = 1;
    slide.slidingScale = true;
    const auto loadTables = [](int32_t h) { ASSERT_EQ(DRELM_TSY_LoadCalibration(h), 0); };
    const auto lowerNegOffset = [](int32_t h) { ASSERT_EQ(DRELM_TSY_DACOffsetWrite(h, 0, 0, 0x8000 - 320), 0); };
    const Tally right = Run(config, base, 200, 0x01, 0), wrong = Run(config, wrongPolarity, 200, 0x01, 1),
                small = Run(config, smallRange, 200, 0x01, 2), lower = Run(config, base, 200, 0x01, 3, lowerNegOffset),
                bare = Run(config, slide, 200, 0x01, 4), loaded = Run(config, slide, 200, 0x01, 5, loadTables);
    auto mean = [](const Tally& t, bool peaks) {
        double sum = 0, n = 0;
        for (uint16_t a : t.channel0)
            if (((a & 0x4000) != 0) == peaks && !(a & 0x8000)) sum += a & 0x3FFF, ++n;
        return n > 100 ? sum / n : -1.0;
    };
    const double pedestal = mean(right, false), peak = mean(right, true);
    EXPECT_NEAR(pedestal, 41.5, 0.5);
    EXPECT_NEAR(peak - pedestal, 6620, 200) << "662 keV at 10 units per keV";
    EXPECT_EQ(std::count_if(wrong.channel0.begin(), wrong.channel0.end(), [](uint16_t a) { return a & 0x4000; }), 0)
        << "no pulse of the other polarity is seen";
    EXPECT_NEAR(mean(wrong, false), pedestal, 0.5);
    EXPECT_NEAR(mean(small, true) - pedestal, 2 * (peak - pedestal), 0.01 * peak) << "twice the gain";
    EXPECT_NEAR(mean(lower, false), pedestal - 20, 0.5) << "16 DAC units per amplitude unit";
    EXPECT_GT(mean(bare, false), pedestal + 10000) << "the (NEG) DAC steps stay in the amplitudes";
    EXPECT_EQ(loaded.channel0, right.channel0) << "the board's own tables cancel them exactly";
}

}  // namespace
}  // namespace tessary_test
