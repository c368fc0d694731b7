#include "Status.h"

namespace drelm::tsy {

int32_t MapLinkStatus(int32_t linkStatus) {
    switch (linkStatus) {
        case 0: return DRELM_TSY_Success;
        case -1:
        case -2: return DRELM_TSY_GenericError;
        case -3: return DRELM_TSY_CommError;
        case -4: return DRELM_TSY_InvalidParam;
        case -5: return DRELM_TSY_LinkStatus4;
        case -6: return DRELM_TSY_InvalidHandle;
        case -7: return DRELM_TSY_Timeout;
        case -8: return DRELM_TSY_LinkStatus25;
        case -9: return DRELM_TSY_TooManyBoards;
        case -10: return DRELM_TSY_CommReadError;
        case -11: return DRELM_TSY_UnsupportedBoard;
        default: return DRELM_TSY_CommError;
    }
}

const char* StatusName(int32_t status) {
    switch (status) {
        case DRELM_TSY_Success: return "Success";
        case DRELM_TSY_GenericError: return "GenericError";
        case DRELM_TSY_CommError: return "CommError";
        case DRELM_TSY_InvalidParam: return "InvalidParam";
        case DRELM_TSY_LinkStatus4: return "LinkStatus4";
        case DRELM_TSY_InvalidHandle: return "InvalidHandle";
        case DRELM_TSY_TooManyBoards: return "TooManyBoards";
        case DRELM_TSY_ReadFailed: return "ReadFailed";
        case DRELM_TSY_WriteFailed: return "WriteFailed";
        case DRELM_TSY_InvalidGroup: return "InvalidGroup";
        case DRELM_TSY_UnsupportedBoard: return "UnsupportedBoard";
        case DRELM_TSY_Timeout: return "Timeout";
        case DRELM_TSY_DecodeError: return "DecodeError";
        case DRELM_TSY_OutOfMemory: return "OutOfMemory";
        case DRELM_TSY_LinkStatus25: return "LinkStatus25";
        case DRELM_TSY_CommReadError: return "CommReadError";
        case DRELM_TSY_NotResponding: return "NotResponding";
        case DRELM_TSY_NotAvailable: return "NotAvailable";
        default: return "Unknown";
    }
}

}  // namespace drelm::tsy
