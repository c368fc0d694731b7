// Software reset: restart the board, wait until it is ready, write the
// start-up settings again. The board-table entry is left as it was.
#include "ApiGuard.h"
#include "BoardTable.h"
#include "RegisterAccess.h"
#include "Sleep.h"
#include "StartupSettings.h"
#include "Status.h"

using namespace drelm::tsy;

namespace {

constexpr uint32_t kStatusRegister = 0x8104;
constexpr uint32_t kSoftwareReset = 0xEF24;
constexpr uint32_t kReadyBit = 0x100;
constexpr uint32_t kKeptStatusBits = 0xC0;
constexpr int kRecoveryPolls = 50;
constexpr uint32_t kRecoveryPauseMs = 10;
constexpr int kReadyPolls = 16;
constexpr uint32_t kReadyPauseMs = 100;
constexpr uint32_t kAfterResetMs = 10;

}  // namespace

extern "C" int32_t DRELM_TSY_Reset(int32_t handle) {
    return Guarded([&]() -> int32_t {
        if (!IsOpen(handle)) return DRELM_TSY_InvalidHandle;
        uint32_t status = 0;
        if (BoardReadRegister(handle, kStatusRegister, &status) != 0) return DRELM_TSY_CommReadError;
        const uint32_t expected = (status & kKeptStatusBits) | kReadyBit;

        const int32_t resetStatus = MapLinkStatus(BoardWriteRegister(handle, kSoftwareReset, 0));
        SleepMs(kAfterResetMs);

        if (resetStatus != 0) {
            // The write went unacknowledged: the board may still be restarting.
            bool answered = false;
            for (int i = 0; i < kRecoveryPolls && !answered; ++i) {
                answered = BoardReadRegister(handle, kStatusRegister, &status) == 0;
                if (!answered) SleepMs(kRecoveryPauseMs);
            }
            if (!answered) return DRELM_TSY_NotResponding;
        }

        for (int poll = 1;; ++poll) {
            if (BoardReadRegister(handle, kStatusRegister, &status) != 0) return DRELM_TSY_ReadFailed;
            if ((status & expected) == expected) break;
            SleepMs(kReadyPauseMs);
            if (poll == kReadyPolls) return DRELM_TSY_Timeout;
        }
        return WriteStartupSettings(handle, StartupCaller::Reset);
    });
}
