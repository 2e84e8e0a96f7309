// quillet-reg's command line and value data, read without touching any file;
// platform/tools/quillet_reg.cpp carries the commands out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

struct RegCommand {
    std::string operation;                 // as typed
    std::string key;                       // as typed, with its root
    std::optional<std::string> valueName;  // "" for /ve
    std::string type = "REG_SZ";
    std::optional<std::string> data;
    bool force = false;
    std::string database;  // empty without /db
};

// Reads the words after the program's name: OPERATION KEY [options]. False
// for fewer than two words, an unknown option, an option without its
// argument, or a second /v or /ve.
bool ParseRegArguments(const std::vector<std::string>& words, RegCommand& command);

// The part of KEY below HKLM\ or HKEY_LOCAL_MACHINE\ (any case) without
// trailing '\'; nullopt when KEY names another root.
std::optional<std::string> RegSubkey(const std::string& key);

// REG_DWORD data: decimal digits (leading zeros do not make it octal), or 0x
// and hex digits; at most 0xFFFFFFFF. Nothing else: no sign, no space.
std::optional<std::uint32_t> ParseDword(const std::string& text);

// The value's type and bytes as the registry stores them: REG_SZ the text and
// its NUL, REG_DWORD 4 little-endian bytes (0 without data), REG_BINARY the
// bytes of pairs of hex digits. False for an unknown type or bad data.
bool EncodeRegData(const std::string& typeName, const std::optional<std::string>& data,
                   std::uint32_t& type, std::vector<std::uint8_t>& bytes);

}  // namespace quillet
