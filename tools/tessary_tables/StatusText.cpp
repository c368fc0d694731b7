#include "StatusText.h"

#include "DrelmTessaryLib.h"

namespace {

struct StatusWords {
    int32_t code;
    const char* name;
    const char* meaning;
};

// The LibStatus codes of the library's header. The link statuses that the
// library passes on under its own codes are named by what the link meant.
constexpr StatusWords kStatuses[] = {
    {DRELM_TSY_GenericError, "GenericError", "the board or its flash chip did not answer as expected"},
    {DRELM_TSY_CommError, "CommError", "the link failed"},
    {DRELM_TSY_InvalidParam, "InvalidParam", "the library or the link refused an argument, such as the connection"},
    {DRELM_TSY_LinkStatus4, "LinkStatus4", "the link refused the link or node number"},
    {DRELM_TSY_InvalidHandle, "InvalidHandle", "no such open board, or the board is open already"},
    {DRELM_TSY_TooManyBoards, "TooManyBoards", "too many boards or links are open"},
    {DRELM_TSY_ReadFailed, "ReadFailed", "a register read over the link failed"},
    {DRELM_TSY_WriteFailed, "WriteFailed", "a register write over the link failed"},
    {DRELM_TSY_InvalidGroup, "InvalidGroup", "no such group on the board"},
    {DRELM_TSY_UnsupportedBoard, "UnsupportedBoard", "not a board of this family, or a write over the link failed"},
    {DRELM_TSY_Timeout, "Timeout", "the board or its flash chip did not get ready in time"},
    {DRELM_TSY_DecodeError, "DecodeError", "the board's data were inconsistent"},
    {DRELM_TSY_OutOfMemory, "OutOfMemory", "no memory for the readout buffer, or it was full"},
    {DRELM_TSY_LinkStatus25, "LinkStatus25", "the link could not reach the host"},
    {DRELM_TSY_CommReadError, "CommReadError", "a read over the link failed"},
    {DRELM_TSY_NotResponding, "NotResponding", "the board answered no read"},
    {DRELM_TSY_NotAvailable, "NotAvailable", "not available on this board"},
};

}  // namespace

std::string DescribeStatus(int32_t status) {
    std::string text = "status " + std::to_string(status);
    for (const StatusWords& s : kStatuses)
        if (s.code == status) return text + " (" + s.name + ": " + s.meaning + ")";
    return text;
}
