#include "platform/tools/reg_arguments.h"

#include <strings.h>

#include <charconv>

#include "printer/registry.h"

namespace quillet {

namespace {

bool EqualsNoCase(const std::string& a, const char* b) {
    return ::strcasecmp(a.c_str(), b) == 0;
}

// The whole of `text` as a number in `base`. from_chars takes no sign, no
// space and no prefix, which is what the tool's data allows.
template <typename Number>
std::optional<Number> WholeNumber(const char* first, const char* last, int base) {
    Number value = 0;
    const auto [end, error] = std::from_chars(first, last, value, base);
    if (first == last || error != std::errc() || end != last) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

bool ParseRegArguments(const std::vector<std::string>& words, RegCommand& command) {
    if (words.size() < 2) {
        return false;
    }
    command.operation = words[0];
    command.key = words[1];
    for (std::size_t i = 2; i < words.size(); ++i) {
        const std::string& option = words[i];
        const bool hasArgument = i + 1 < words.size();
        if (EqualsNoCase(option, "/v") && hasArgument && !command.valueName) {
            command.valueName = words[++i];
        } else if (EqualsNoCase(option, "/ve") && !command.valueName) {
            command.valueName = "";
        } else if (EqualsNoCase(option, "/t") && hasArgument) {
            command.type = words[++i];
        } else if (EqualsNoCase(option, "/d") && hasArgument) {
            command.data = words[++i];
        } else if (EqualsNoCase(option, "/f")) {
            command.force = true;
        } else if (EqualsNoCase(option, "/db") && hasArgument) {
            command.database = words[++i];
        } else {
            return false;
        }
    }
    return true;
}

std::optional<std::string> RegSubkey(const std::string& key) {
    const std::size_t separator = key.find('\\');
    const std::string root = key.substr(0, separator);
    if (!EqualsNoCase(root, "HKLM") && !EqualsNoCase(root, "HKEY_LOCAL_MACHINE")) {
        return std::nullopt;
    }
    std::string subkey = separator == std::string::npos ? "" : key.substr(separator + 1);
    while (!subkey.empty() && subkey.back() == '\\') {
        subkey.pop_back();
    }
    return subkey;
}

std::optional<std::uint32_t> ParseDword(const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return WholeNumber<std::uint32_t>(first + 2, last, 16);
    }
    return WholeNumber<std::uint32_t>(first, last, 10);
}

bool EncodeRegData(const std::string& typeName, const std::optional<std::string>& data,
                   std::uint32_t& type, std::vector<std::uint8_t>& bytes) {
    const std::string text = data.value_or("");
    bytes.clear();
    if (EqualsNoCase(typeName, "REG_SZ")) {
        type = REG_SZ;
        bytes.assign(text.begin(), text.end());
        bytes.push_back(0);
        return true;
    }
    if (EqualsNoCase(typeName, "REG_DWORD")) {
        type = REG_DWORD;
        const std::optional<std::uint32_t> dword =
            data ? ParseDword(text) : std::optional<std::uint32_t>(0);
        if (!dword) {
            return false;
        }
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<std::uint8_t>(*dword >> shift));
        }
        return true;
    }
    if (EqualsNoCase(typeName, "REG_BINARY")) {
        type = REG_BINARY;
        if (text.size() % 2 != 0) {
            return false;
        }
        for (std::size_t i = 0; i < text.size(); i += 2) {
            const auto byte = WholeNumber<std::uint8_t>(&text[i], &text[i] + 2, 16);
            if (!byte) {
                return false;
            }
            bytes.push_back(*byte);
        }
        return true;
    }
    return false;
}

}  // namespace quillet
