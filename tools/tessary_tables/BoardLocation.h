// Where a board sits, written as the configuration file's OPEN line writes
// it after the key: a connection keyword and its arguments, for example
// "USB 0", "PCI 1 2 0x10000", "ETH_R330 bridge.lab 0x32100000".
#pragma once

#include <cstdint>
#include <string>

struct BoardLocation {
    int32_t connectionType = 0;
    int32_t linkNumber = 0;
    std::string hostName;
    int32_t nodeNumber = 0;
    uint32_t baseAddress = 0;
};

// True and the location, or false and a message saying what is wrong.
bool ParseBoardLocation(const std::string& text, BoardLocation* location, std::string* error);

// The open call for the location: 0 and the handle, or the library's status.
int32_t OpenBoardAt(const BoardLocation& location, int32_t* handle);
