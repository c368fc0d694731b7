#include "StatusText.h"

#include "DrelmTessaryLib.h"
#include "Status.h"

namespace {

struct StatusWords {
    int32_t code;
    const char* meaning;
};

// What each LibStatus means to a user of the tool; the names are the
// library's own. The link statuses that the library passes on under its own
// codes are told by what the link meant.
constexpr StatusWords kStatuses[] = {
    {DRELM_TSY_GenericError, "the board or its flash chip did not answer as expected"},
    {DRELM_TSY_CommError, "the link failed"},
    {DRELM_TSY_InvalidParam, "the library or the link refused an argument, such as the connection"},
    {DRELM_TSY_LinkStatus4, "the link refused the link or node number"},
    {DRELM_TSY_InvalidHandle, "no such open board, or the board is open already"},
    {DRELM_TSY_TooManyBoards, "too many boards or links are open"},
    {DRELM_TSY_ReadFailed, "a register read over the link failed"},
    {DRELM_TSY_WriteFailed, "a register write over the link failed"},
    {DRELM_TSY_InvalidGroup, "no such group on the board"},
    {DRELM_TSY_UnsupportedBoard, "not a board of this family, or a write over the link failed"},
    {DRELM_TSY_Timeout, "the board or its flash chip did not get ready in time"},
    {DRELM_TSY_DecodeError, "the board's data were inconsistent"},
    {DRELM_TSY_OutOfMemory, "no memory for the readout buffer, or it was full"},
    {DRELM_TSY_LinkStatus25, "the link could not reach the host"},
    {DRELM_TSY_CommReadError, "a read over the link failed"},
    {DRELM_TSY_NotResponding, "the board answered no read"},
    {DRELM_TSY_NotAvailable, "not available on this board"},
};

}  // namespace

std::string DescribeStatus(int32_t status) {
    std::string text = "status " + std::to_string(status);
    for (const StatusWords& s : kStatuses)
        if (s.code == status) return text + " (" + drelm::tsy::StatusName(status) + ": " + s.meaning + ")";
    return text;
}
