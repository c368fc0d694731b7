// The statuses of the eight link operations, as DrelmComm.h lists them.
#pragma once

#include <cstdint>

namespace drelm::emu {

enum LinkStatus : int32_t {
    kLinkOk = 0,
    kLinkGenericFailure = -1,
    kLinkCommFailure = -2,
    kLinkInvalidArgument = -3,
    kLinkUnsupportedType = -4,
    kLinkInvalidLinkOrNode = -5,
    kLinkAlreadyOpen = -6,
    kLinkTimeout = -7,
    kLinkUnknownHost = -8,
    kLinkTooManyLinks = -9,
    kLinkNoRegisterRead = -10,
    kLinkNoRegisterWrite = -11,
    kLinkEndOfTransfer = -13,
};

}  // namespace drelm::emu
