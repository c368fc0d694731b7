#include "TableLoading.h"

#include <atomic>
#include <exception>
#include <thread>
#include <vector>

#include "DrelmTessaryLib.h"

namespace tessary {
namespace {

bool LoadOneBoard(int board, int32_t handle, const LoadProgress& progress) {
    if (progress) progress(board, "offsets");
    bool ok = DRELM_TSY_LoadOffset(handle) == 0;
    if (ok) {
        if (progress) progress(board, "calibration");
        ok = DRELM_TSY_LoadCalibration(handle) == 0;
    }
    if (progress) progress(board, ok ? "done" : "failed");
    return ok;
}

}  // namespace

ProgramError LoadBoardTables(const int32_t* handles, int boards, const LoadProgress& progress) {
    std::atomic<bool> failed{false};
    std::vector<std::thread> loaders;
    loaders.reserve(static_cast<std::size_t>(boards));
    for (int b = 0; b < boards; ++b) {
        try {
            loaders.emplace_back([&, b] {
                if (!LoadOneBoard(b, handles[b], progress)) failed = true;
            });
        } catch (const std::exception&) {
            // No thread to spare: this board loads on this thread instead.
            if (!LoadOneBoard(b, handles[b], progress)) failed = true;
        }
    }
    for (std::thread& loader : loaders) loader.join();
    return failed ? ProgramError::CalibrationUpload : ProgramError::None;
}

}  // namespace tessary
