#include "StartupSettings.h"

#include "BoardTable.h"
#include "RegisterAccess.h"
#include "Status.h"

namespace drelm::tsy {
namespace {

enum class Action { SetBits, ClearBits, Write };

// How a failed step is reported by the open: the first three steps translate
// the primitive's status, the next two pass it through.
enum class OpenReport { Translate, PassThrough };

struct Step {
    Action action;
    uint32_t address;
    uint32_t value;
    OpenReport openReport;
};

constexpr Step kSteps[] = {
    {Action::SetBits, 0xEF00, 0x10, OpenReport::Translate},
    {Action::SetBits, 0x811C, 0x400000, OpenReport::Translate},
    {Action::SetBits, 0x8100, 0x2008, OpenReport::Translate},
    {Action::ClearBits, 0x8000, 0x2, OpenReport::PassThrough},
    {Action::SetBits, 0x8110, 0xFF, OpenReport::PassThrough},
    {Action::Write, 0xEF1C, 1023, OpenReport::PassThrough},
    {Action::Write, 0x800C, 10, OpenReport::PassThrough},
};

constexpr uint32_t kGroupEnableMask = 0x8120;

int32_t Run(int32_t board, const Step& step) {
    switch (step.action) {
        case Action::SetBits: return BoardSetBits(board, step.address, step.value);
        case Action::ClearBits: return BoardClearBits(board, step.address, step.value);
        case Action::Write: return BoardWriteRegister(board, step.address, step.value);
    }
    return DRELM_TSY_GenericError;
}

}  // namespace

int32_t WriteStartupSettings(int32_t board, StartupCaller caller) {
    for (const Step& step : kSteps) {
        const int32_t status = Run(board, step);
        if (status == 0) continue;
        if (caller == StartupCaller::Open && step.openReport == OpenReport::Translate) return MapLinkStatus(status);
        return status;
    }

    const BoardEntry& entry = Board(board);
    if (entry.familyCode != kFamilyCode) return DRELM_TSY_Success;
    // The even group positions carry the blocks of 16 channels.
    const uint32_t mask = entry.formIndex == 0 ? 0x55u : 0x05u;
    if (BoardWriteRegister(board, kGroupEnableMask, mask) != 0 && caller == StartupCaller::Open)
        return DRELM_TSY_UnsupportedBoard;
    return DRELM_TSY_Success;
}

}  // namespace drelm::tsy
