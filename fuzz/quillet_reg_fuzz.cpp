// libFuzzer target: quillet-reg's argument and value-data parsing. The input
// is the argument words after the program's name, separated by NUL bytes.
// Besides crashes and sanitizer reports, it fails when /d data is taken or
// refused against the tool's documentation: decimal digits, or 0x and hex
// digits, at most 0xFFFFFFFF; REG_BINARY data pairs of hex digits.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/tools/reg_arguments.h"
#include "printer/registry.h"

namespace {

constexpr const char* kDecimal = "0123456789";
constexpr const char* kHex = "0123456789abcdefABCDEF";

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// What the documentation says the text names, found another way.
std::optional<std::uint32_t> DocumentedDword(const std::string& text) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = text.substr(hex ? 2 : 0);
    if (digits.empty() || digits.find_first_not_of(hex ? kHex : kDecimal) != std::string::npos) {
        return std::nullopt;
    }
    errno = 0;
    const unsigned long long value = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (errno != 0 || value > 0xFFFFFFFFull) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

void CheckData(const std::string& text) {
    Require(quillet::ParseDword(text) == DocumentedDword(text));

    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    const bool wellFormed =
        text.size() % 2 == 0 && text.find_first_not_of(kHex) == std::string::npos;
    Require(quillet::EncodeRegData("REG_BINARY", text, type, bytes) == wellFormed);
    Require(!wellFormed || (type == quillet::REG_BINARY && bytes.size() * 2 == text.size()));
}

void CheckCommand(const std::vector<std::string>& words) {
    quillet::RegCommand command;
    if (!quillet::ParseRegArguments(words, command)) {
        return;
    }
    const std::optional<std::string> subkey = quillet::RegSubkey(command.key);
    Require(!subkey || subkey->empty() || subkey->back() != '\\');

    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    if (quillet::EncodeRegData(command.type, command.data, type, bytes) &&
        type == quillet::REG_DWORD) {
        const std::uint32_t expected = command.data ? DocumentedDword(*command.data).value() : 0;
        Require(bytes.size() == 4);
        Require((bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                 static_cast<std::uint32_t>(bytes[3]) << 24) == expected);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> words(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\0') {
            words.emplace_back();
        } else {
            words.back() += static_cast<char>(data[i]);
        }
    }
    for (const std::string& word : words) {
        CheckData(word);
    }
    CheckCommand(words);
    return 0;
}
