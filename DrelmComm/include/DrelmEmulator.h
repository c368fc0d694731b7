// Control interface of the board emulator behind DrelmComm.
//
// Tests and tools use it to describe boards, look at and change registers
// behind the link's back, record the link traffic and inject faults. Every
// function is thread-safe. Programs that only acquire data never need it:
// they see the boards through the eight link operations of DrelmComm.h.
#ifndef DRELM_EMULATOR_H
#define DRELM_EMULATOR_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#if defined(_WIN32)
#  if defined(DRELM_COMM_BUILDING)
#    define DRELM_EMU_API __declspec(dllexport)
#  else
#    define DRELM_EMU_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__)
#define DRELM_EMU_API __attribute__((visibility("default")))
#else
#define DRELM_EMU_API
#endif

namespace drelm::emu {

// Where a board sits: what LinkOpen receives. For the Ethernet bridge the
// host name names the bridge and link is unused; for every other type the
// host name is empty.
struct BoardAddress {
    int32_t connectionType = 0;
    int32_t link = 0;
    std::string host;
    int32_t node = 0;
    uint32_t baseAddress = 0;

    bool operator==(const BoardAddress&) const = default;
};

// What a board is. Defaults describe a 64-channel board of the family the
// library serves, with plausible firmware revisions.
struct BoardConfig {
    int32_t channels = 64;            // 64 or 32
    uint32_t modelCode = 0x5500;      // ROM 0xF030 low byte << 8 | ROM 0xF034 low byte
    std::optional<uint32_t> formCode; // ROM 0xF034; default 0 (64 ch) or 2 (32 ch)
    uint32_t familyCode = 16;         // bits 0-7 of 0x8140
    uint32_t boardInfoByte2 = 0x03;   // bits 16-23 of 0x8140
    uint32_t rocRevision = 0x20240104;  // 0x8124: build << 16 | major << 8 | minor
    uint32_t amcRevision = 0x20240203;  // group + 0x8C
    uint32_t serialNumber = 1234;       // ROM 0xF080 / 0xF084
    uint32_t romCode32 = 0x00000000;    // ROM 0xF040..0xF04C, most significant first
    uint8_t linkInfo[4] = {1, 0, 0, 0}; // answer of LinkQueryInfo kind 5
    uint32_t resetTimeUs = 30000;       // how long the board is deaf and not ready after 0xEF24
    uint32_t dcOffsetBusyUs = 20000;    // group busy bit after a DC-offset write; writes meanwhile are lost
    uint32_t runLatencyUs = 1000;       // run bit to running status in 0x8104

    // Event data (README "Acquisition and event data").
    uint32_t triggerRateHz = 1000;        // external trigger input: mean Poisson rate; 0: no triggers
    uint32_t conversionTimeNs = 2000;     // dead time after the gate of each accepted trigger
    uint32_t seed = 1;                    // every random draw of the board follows from it
    uint32_t photopeakKeV = 662;          // energy of the source's line
    uint32_t gainPerMeV = 10000;          // amplitude units (14-bit scale) per MeV
    uint32_t resolutionPermille = 70;     // FWHM of the photopeak, per mille of its energy
    uint32_t photopeakPercent = 30;       // of the hits: in the photopeak
    uint32_t backgroundPercent = 20;      // of the hits: falling background; the rest is Compton continuum
    uint32_t backgroundSlopeKeV = 150;    // decay length of the background
    uint32_t hitPercent = 70;             // chance that a channel sees a pulse; else it reads its pedestal
    uint32_t pedestal = 40;               // amplitude of a channel without a pulse, at mid-scale DC offset
    uint32_t gainSpreadPermille = 20;     // channel-to-channel gain spread (fixed per channel and seed)
    uint32_t saturationPermille = 5;      // of the pulses: far over range (cosmic muons, say)
    uint32_t positivePulses = 0;          // polarity of the detector's pulses: 1 positive, 0 negative

    // What the host must cope with (README "Acquisition and event data").
    uint32_t statusBits = 1;              // bits the host must ignore carry the board's status
    uint32_t spareWordPercent = 50;       // of the transfers with events: one spare word after the last
    uint32_t eventMemoryEvents = 1024;    // events the board's memory holds
    // For throughput measurements of a host: 0 draws every event; N > 0
    // draws N events per run and repeats their amplitudes and block headers,
    // with fresh event headers (README "Event pool").
    uint32_t eventPool = 0;
    // Start modes 1 to 3 wait for the start signal: it comes this long after
    // the run bit is set, or (unset) only through SendStartSignal.
    std::optional<uint32_t> startSignalUs;

    // Link timing; unset: the connection type's default. 0 bandwidth: unlimited.
    std::optional<uint32_t> linkLatencyUs;     // per link operation
    std::optional<uint32_t> linkBandwidthKBps; // kilobytes (1000 bytes) per second

    // Delivery log written when the board's link is closed; empty: none.
    std::string truthFile;
};

// The eight link operations, as traffic records and fault targets name them.
enum class Op : int32_t {
    Open,
    Close,
    ReadRegister,
    WriteRegister,
    WriteRegisters,
    ReadRegisters,
    BlockRead,
    QueryInfo,
};

// One link-level access. A list operation is recorded as one record per
// item (with op WriteRegisters / ReadRegisters and that item's status); a
// block read as one record with value = words moved.
struct Access {
    Op op;
    int32_t linkHandle;
    uint32_t address;
    uint32_t value;
    int32_t status;
    // For list items: the item's index in its call and the call's item
    // count, so that the calls can be told apart. 0 and 0 otherwise.
    uint32_t listIndex = 0;
    uint32_t listCount = 0;
};

// A fault makes matching calls fail with `status`. Matching calls are
// counted from when the fault is added; calls number `firstCall` (1-based)
// to `firstCall + count - 1` fail (count 0: every call from firstCall on).
// A faulted read leaves the caller's value unchanged; a faulted write
// changes nothing on the board; a faulted block read moves no word.
struct Fault {
    Op op = Op::ReadRegister;
    int32_t status = -2;
    uint32_t firstCall = 1;
    uint32_t count = 0;
    std::optional<uint32_t> address;    // only accesses to this register
    std::optional<int32_t> linkHandle;  // only this link
};

// Forget every board, link, fault and recorded access, and reload the
// settings file named by DRELM_EMULATOR_SETTINGS (if set). Open links become
// invalid. The clock is left as it is.
DRELM_EMU_API void ResetEmulator();

// Describe the board at an address; it takes effect the next time the board
// is created (at once if it is not yet open). Boards that are never
// described open with BoardConfig's defaults.
DRELM_EMU_API void ConfigureBoard(const BoardAddress& address, const BoardConfig& config);

// Link handle of the open board at an address, or -1.
DRELM_EMU_API int32_t LinkHandleOf(const BoardAddress& address);

// Registers behind the link's back (no traffic recorded, no faults, no side
// effects such as triggers or resets). False when the link is not open or
// the register does not exist; a poke is also refused for the registers
// whose value the board computes (0x814C, 0x81C8, 0x81CC). The ready, running
// and busy status bits are ORed with the stored ones.
DRELM_EMU_API bool PeekRegister(int32_t linkHandle, uint32_t address, uint32_t* value);
DRELM_EMU_API bool PokeRegister(int32_t linkHandle, uint32_t address, uint32_t value);

// Appends words to the board's event memory, as if the board had acquired
// them: a sequence of whole events in the board's wire format (word 0 bits
// 0-27 give each event's size in words). Block reads then deliver them as
// they deliver acquired events. False when the link is not open or the
// words do not split into whole events of non-zero size.
DRELM_EMU_API bool InjectEvents(int32_t linkHandle, const std::vector<uint32_t>& words);

// Triggers the board has counted while acquiring since it was made (the
// trigger index's counts, unwrapped, over all runs) and how many of them made
// no event (memory full or dead time). False when the link is not open.
DRELM_EMU_API bool TriggerCounts(int32_t linkHandle, uint64_t* triggers, uint64_t* lost);

// The start signal (front-panel start input) that a board set to start
// mode 1, 2 or 3 waits for once its run bit is set; ignored by a board that
// is not waiting. False when the link is not open.
DRELM_EMU_API bool SendStartSignal(int32_t linkHandle);

// Software triggers the board has received over the link (writes to
// 0x8108) since it was created or last reset. False when the link is not open.
DRELM_EMU_API bool SoftwareTriggerCount(int32_t linkHandle, uint64_t* count);

// Traffic recording. Off until started; Start clears what was recorded.
DRELM_EMU_API void StartRecording();
DRELM_EMU_API void StopRecording();
DRELM_EMU_API std::vector<Access> RecordedTraffic();

// Fault injection. AddFault returns an id for RemoveFault.
DRELM_EMU_API int AddFault(const Fault& fault);
DRELM_EMU_API void RemoveFault(int id);
DRELM_EMU_API void ClearFaults();

// Emulated time. By default it follows the host's monotonic clock; a
// virtual clock stands still until AdvanceClock moves it, which makes
// timing-dependent behaviour (busy bits, run latency, trigger arrivals)
// reproducible.
DRELM_EMU_API void UseVirtualClock(bool on);
DRELM_EMU_API void AdvanceClock(uint64_t nanoseconds);
DRELM_EMU_API uint64_t EmulatedTimeNs();

// ---------------------------------------------------------------------------
// Flash chip and calibration tables
//
// Every board carries a serial DataFlash chip behind its flash registers
// (0xEF2C control, 0xEF30 data). A new board's flash holds factory tables: an
// offset table and calibration tables for 64 channels. The calibration load
// registers (0x1080 | group << 8) fill the board's calibration tables.
// ---------------------------------------------------------------------------

// The flash chip of a board. Device id 0x25 (264-byte pages), 0x27 (528) or
// 0x28 (1056); any other id is reported as given, with 528-byte pages. A
// non-empty file keeps the chip's contents across runs: a file holding an
// image of the chip is loaded, a missing or empty one is created from the
// factory contents; a non-empty file of another size is reported on stderr
// and left untouched (the chip then runs from memory). The chip reports busy
// after each array operation for as long as such chips take; 0 makes the
// operation instant (for tools and tests on the host clock).
struct FlashConfig {
    uint8_t deviceId = 0x27;
    std::string file;
    uint32_t eraseUs = 15000;    // page erase (0x81)
    uint32_t programUs = 25000;  // buffer to page, with its built-in erase (0x83, 0x82)
    uint32_t transferUs = 200;   // page to buffer (0x53)
};

// Describe the flash of the board at an address; takes effect the next time
// the board is created, as ConfigureBoard does.
DRELM_EMU_API void ConfigureFlash(const BoardAddress& address, const FlashConfig& config);

// The chip behind the link's back, by linear byte address (page × page size
// + offset, wrapping at the chip's end). No traffic, no busy time. ReadFlash
// reads at most the chip's size (a larger count gives the whole chip once).
// False when the link is not open.
DRELM_EMU_API bool ReadFlash(int32_t linkHandle, uint32_t address, uint32_t count, std::vector<uint8_t>* bytes);
DRELM_EMU_API bool WriteFlash(int32_t linkHandle, uint32_t address, const std::vector<uint8_t>& bytes);
DRELM_EMU_API bool FlashPageSize(int32_t linkHandle, uint32_t* pageSize);

// The calibration table that load words have filled: 4096 entries (0 where
// none was loaded), for sign 0 NEG / 1 POS, kind 0 DACDU / 1 DACUD and a
// channel of the board. False for a link that is not open or coordinates the
// board doesn't have.
DRELM_EMU_API bool ReadCalibrationTable(int32_t linkHandle, int sign, int kind, int channel,
                                        std::vector<uint16_t>* entries);
// Load words the board has taken since it was created.
DRELM_EMU_API uint64_t CalibrationWordsLoaded(int32_t linkHandle);

}  // namespace drelm::emu

#endif  // DRELM_EMULATOR_H
