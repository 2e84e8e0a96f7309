// Reading the line `sha256sum` writes: "<64 hex digits> <space or *><name>".

#include "printer/image_checksum.h"

#include <cctype>

namespace quillet {

bool ChecksumLineMatches(const std::string& text, const std::string& fileName,
                         const std::string& sha256) {
    constexpr std::size_t kDigits = 64;
    std::string line = text;
    if (!line.empty() && line.back() == '\n') {
        line.pop_back();
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (sha256.size() != kDigits || line.size() <= kDigits + 2 ||
        line.find_first_of("\r\n") != std::string::npos) {
        return false;
    }
    for (std::size_t i = 0; i < kDigits; ++i) {
        const auto digit = static_cast<unsigned char>(line[i]);
        if (!std::isxdigit(digit) || std::tolower(digit) != sha256[i]) {
            return false;
        }
    }
    // The second character marks binary or text mode; both name the same bytes here.
    if (line[kDigits] != ' ' || (line[kDigits + 1] != ' ' && line[kDigits + 1] != '*')) {
        return false;
    }
    return line.compare(kDigits + 2, std::string::npos, fileName) == 0;
}

}  // namespace quillet
