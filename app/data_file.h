// Reading the program's built-in data files (catalogue texts, page layouts):
// lines, whole numbers, and errors that name the line.
#pragma once

#include <charconv>
#include <string>
#include <string_view>

namespace quillet {

// Calls visit(lineNumber, line) for every line of `content`, numbered from 1,
// without its line feed or a carriage return before it. Stops and returns
// false as soon as visit does.
template <typename Visit>
bool ForEachLine(std::string_view content, Visit visit) {
    int lineNumber = 0;
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!visit(++lineNumber, line)) {
            return false;
        }
    }
    return true;
}

// True when the whole of `text` is one decimal number that fits `value`.
template <typename Number>
bool ParseWholeNumber(std::string_view text, Number& value) {
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && next == end;
}

// Records "line N: what" in `error`, when given; returns false.
inline bool DataFileError(std::string* error, int lineNumber, const char* what) {
    if (error != nullptr) {
        *error = "line " + std::to_string(lineNumber) + ": " + what;
    }
    return false;
}

}  // namespace quillet
