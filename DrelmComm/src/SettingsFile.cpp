#include "SettingsFile.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "BoardAddressing.h"
#include "DrelmComm.h"
#include "EventSettingsKeys.h"

namespace drelm::emu {
namespace {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// User text quoted in a message, with control and non-ASCII bytes shown as '?'.
std::string Printable(const std::string& text) {
    std::string out = text.substr(0, 64);
    for (char& c : out)
        if (c < 0x20 || c > 0x7E) c = '?';
    return out;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// Decimal, or hexadecimal with 0x; the whole text, within [0, max].
bool ParseNumber(const std::string& text, uint64_t max, uint32_t& out) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* begin = text.data() + (hex ? 2 : 0);
    const char* end = text.data() + text.size();
    uint64_t value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value, hex ? 16 : 10);
    if (error != std::errc() || stop != end || begin == end || value > max) return false;
    out = static_cast<uint32_t>(value);
    return true;
}

constexpr uint64_t kU32 = 0xFFFFFFFFu;
constexpr uint64_t kByte = 0xFF;

// One key: its name and how it sets the description; an error text or empty.
struct Key {
    const char* name;
    std::string (*apply)(BoardConfig&, const std::string&);
};

template <uint32_t BoardConfig::*Field, uint64_t Max>
std::string SetNumber(BoardConfig& config, const std::string& value) {
    uint32_t number = 0;
    if (!ParseNumber(value, Max, number)) return "expected a number from 0 to " + std::to_string(Max);
    config.*Field = number;
    return {};
}

std::string SetChannels(BoardConfig& config, const std::string& value) {
    if (value != "64" && value != "32") return "must be 64 or 32";
    config.channels = value == "64" ? 64 : 32;
    return {};
}

std::string SetFormCode(BoardConfig& config, const std::string& value) {
    uint32_t number = 0;
    if (!ParseNumber(value, kByte, number)) return "expected a number from 0 to 255";
    config.formCode = number;
    return {};
}

std::string SetLinkInfo(BoardConfig& config, const std::string& value) {
    std::string spaced = value;
    for (char& c : spaced)
        if (c == ',') c = ' ';
    const std::vector<std::string> bytes = Words(spaced);
    uint8_t info[4] = {};
    if (bytes.size() != 4) return "takes four bytes";
    for (std::size_t i = 0; i < 4; ++i) {
        uint32_t number = 0;
        if (!ParseNumber(bytes[i], kByte, number)) return "takes numbers from 0 to 255";
        info[i] = static_cast<uint8_t>(number);
    }
    std::copy(info, info + 4, config.linkInfo);
    return {};
}

const Key kKeys[] = {
    {"channels", &SetChannels},
    {"model_code", &SetNumber<&BoardConfig::modelCode, 0xFFFF>},
    {"form_code", &SetFormCode},
    {"family_code", &SetNumber<&BoardConfig::familyCode, kByte>},
    {"board_info_byte2", &SetNumber<&BoardConfig::boardInfoByte2, kByte>},
    {"roc_revision", &SetNumber<&BoardConfig::rocRevision, kU32>},
    {"amc_revision", &SetNumber<&BoardConfig::amcRevision, kU32>},
    {"serial_number", &SetNumber<&BoardConfig::serialNumber, 0xFFFF>},
    {"rom_code32", &SetNumber<&BoardConfig::romCode32, kU32>},
    {"link_info", &SetLinkInfo},
    {"reset_time_us", &SetNumber<&BoardConfig::resetTimeUs, kU32>},
    {"dc_offset_busy_us", &SetNumber<&BoardConfig::dcOffsetBusyUs, kU32>},
    {"run_latency_us", &SetNumber<&BoardConfig::runLatencyUs, kU32>},
};

// The flash chip's keys: flash_device_id (0x25, 0x27 or 0x28),
// flash_file (where the chip's contents persist; relative to the settings
// file's folder) and the busy times of its array operations.
std::string ApplyFlashKey(FlashConfig& flash, const std::string& name, const std::string& value) {
    constexpr uint64_t kMaxBusyUs = 10'000'000;
    const struct {
        const char* name;
        uint32_t FlashConfig::*field;
    } kBusyTimes[] = {{"flash_erase_us", &FlashConfig::eraseUs},
                      {"flash_program_us", &FlashConfig::programUs},
                      {"flash_transfer_us", &FlashConfig::transferUs}};
    for (const auto& key : kBusyTimes) {
        if (name != key.name) continue;
        uint32_t us = 0;
        if (!ParseNumber(value, kMaxBusyUs, us)) return name + ": expected a number from 0 to 10000000";
        flash.*key.field = us;
        return {};
    }
    if (name == "flash_device_id") {
        uint32_t id = 0;
        if (!ParseNumber(value, kByte, id) || (id != 0x25 && id != 0x27 && id != 0x28))
            return "flash_device_id: must be 0x25, 0x27 or 0x28";
        flash.deviceId = static_cast<uint8_t>(id);
        return {};
    }
    if (name == "flash_file") {
        if (value.empty()) return "flash_file: expected a file name";
        flash.file = value;
        return {};
    }
    return "unknown key '" + name + "'";
}

// "[usb 0]", "[optical 0 node 2]", "[adapter 1 node 3]", "[ethernet host]",
// "[vme 0 base 0x32100000]". Empty text on success, else the error.
std::string ParseSection(const std::string& inside, BoardAddress& address) {
    const std::vector<std::string> w = Words(inside);
    if (w.size() < 2) return "a section names a connection and its link or host, e.g. [usb 0]";
    struct Type {
        const char* name;
        int32_t type;
        const char* extra;  // the optional second key, or null
    };
    static const Type kTypes[] = {{"usb", DRELM_LINK_USB, nullptr},
                                  {"optical", DRELM_LINK_OPTICAL, "node"},
                                  {"adapter", DRELM_LINK_USB_ADAPTER, "node"},
                                  {"ethernet", DRELM_LINK_ETHERNET, nullptr},
                                  {"vme", DRELM_LINK_USB_VME, "base"}};
    const Type* type = nullptr;
    for (const Type& t : kTypes)
        if (w[0] == t.name) type = &t;
    if (!type) return "unknown connection '" + Printable(w[0]) + "' (usb, optical, adapter, ethernet, vme)";
    address = BoardAddress{};
    address.connectionType = type->type;
    if (type->type == DRELM_LINK_ETHERNET) {
        if (w.size() != 2) return "an ethernet section names one host";
        if (w[1].size() > kMaxHostNameLength) return "host name too long";
        address.host = w[1];
        return {};
    }
    uint32_t number = 0;
    if (!ParseNumber(w[1], 0x7FFFFFFF, number)) return "link number must be a number from 0 to 2147483647";
    address.link = static_cast<int32_t>(number);
    if (w.size() == 2) return {};
    if (!type->extra || w.size() != 4 || w[2] != type->extra)
        return type->extra ? std::string("expected [") + type->name + " <link> " + type->extra + " <number>]"
                           : std::string("a usb section takes only the link number");
    if (type->type == DRELM_LINK_USB_VME) {
        if (!ParseNumber(w[3], kU32, number)) return "base must be a 32-bit number";
        address.baseAddress = number;
    } else {
        if (!ParseNumber(w[3], kMaxChainNode, number)) return "node must be a number from 0 to 7";
        address.node = static_cast<int32_t>(number);
    }
    return {};
}

// Reads one line of at most kMaxLineLength characters; a longer line is
// consumed whole and reported as too long. False at the end of the input.
bool ReadLine(std::istream& in, std::string& line, bool& tooLong) {
    line.clear();
    tooLong = false;
    char c = 0;
    bool any = false;
    while (in.get(c)) {
        any = true;
        if (c == '\n') return true;
        if (line.size() < SettingsFile::kMaxLineLength)
            line.push_back(c);
        else
            tooLong = true;
    }
    return any;
}

}  // namespace

std::vector<SettingsFile::Entry> SettingsFile::Parse(std::istream& in, const std::string& source,
                                                     std::ostream& errors) {
    std::vector<Entry> entries;
    Entry* current = nullptr;
    bool skippingSection = false;
    std::string raw;
    bool tooLong = false;
    auto report = [&](std::size_t number, const std::string& what) {
        errors << "DrelmComm emulator: " << source << ':' << number << ": " << what << "; line ignored\n";
    };
    for (std::size_t number = 1; ReadLine(in, raw, tooLong); ++number) {
        if (tooLong) {
            report(number, "line longer than " + std::to_string(kMaxLineLength) + " characters");
            continue;
        }
        const std::string line = Trim(raw.substr(0, raw.find('#')));
        if (line.empty()) continue;
        if (line.front() == '[') {
            BoardAddress address;
            const std::string error =
                line.back() == ']' ? ParseSection(line.substr(1, line.size() - 2), address) : "missing ']'";
            if (!error.empty()) {
                report(number, error + " (its keys are ignored too)");
                current = nullptr;
                skippingSection = true;
                continue;
            }
            skippingSection = false;
            const BoardAddress key = NormalizedAddress(address);
            current = nullptr;
            for (Entry& e : entries)
                if (NormalizedAddress(e.address) == key) current = &e;
            if (!current) current = &entries.emplace_back(Entry{address, BoardConfig{}, FlashConfig{}});
            continue;
        }
        if (skippingSection) continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos) {
            report(number, "expected 'key = value' or '[section]'");
            continue;
        }
        const std::string name = Trim(line.substr(0, equals));
        const std::string value = Trim(line.substr(equals + 1));
        if (!current) {
            report(number, "key '" + Printable(name) + "' before any board section");
            continue;
        }
        if (name.rfind("flash_", 0) == 0) {
            const std::string error = ApplyFlashKey(current->flash, name, value);
            if (!error.empty()) report(number, error);
            continue;
        }
        const Key* key = nullptr;
        for (const Key& k : kKeys)
            if (name == k.name) key = &k;
        if (!key) {
            // Event data, link timing and delivery log keys live apart.
            if (const auto error = ApplyEventKey(current->config, name, value)) {
                if (!error->empty()) report(number, name + ": " + *error);
                continue;
            }
            report(number, name.empty() ? std::string("no key before '='") : "unknown key '" + Printable(name) + "'");
            continue;
        }
        const std::string error = key->apply(current->config, value);
        if (!error.empty()) report(number, name + ": " + error);
    }
    return entries;
}

std::vector<SettingsFile::Entry> SettingsFile::LoadFromEnvironment() {
    const char* path = std::getenv(kEnvironmentVariable);
    if (!path || !*path) return {};
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::cerr << "DrelmComm emulator: cannot read the settings file " << path << " named by "
                  << kEnvironmentVariable << "; every board has the default description\n";
        return {};
    }
    std::vector<Entry> entries = Parse(file, path, std::cerr);
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    for (Entry& entry : entries)
        if (!entry.flash.file.empty() && std::filesystem::path(entry.flash.file).is_relative())
            entry.flash.file = (folder / entry.flash.file).string();
    return entries;
}

}  // namespace drelm::emu
