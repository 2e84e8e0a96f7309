#include "app/message_catalog.h"

#include <charconv>

#include "resources/embedded_file.h"

namespace quillet {

namespace {

bool ParseNumber(std::string_view text, long& value) {
    const char* end = text.data() + text.size();
    auto [next, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && next == end;
}

}  // namespace

const MessageCatalog& MessageCatalog::Builtin() {
    static const MessageCatalog catalog = [] {
        MessageCatalog built;
        for (const EmbeddedFile& file : resources::CatalogFiles()) {
            built.AddFile(file.Text());
        }
        return built;
    }();
    return catalog;
}

bool MessageCatalog::AddFile(std::string_view content, std::string* error) {
    long base = 0;
    int lineNumber = 0;
    while (!content.empty()) {
        size_t lineEnd = content.find('\n');
        std::string_view line = content.substr(0, lineEnd);
        content.remove_prefix(lineEnd == std::string_view::npos ? content.size() : lineEnd + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }

        auto fail = [&](const char* what) {
            if (error) {
                *error = "line " + std::to_string(lineNumber) + ": " + what;
            }
            return false;
        };

        if (line.starts_with("@base ")) {
            if (!ParseNumber(line.substr(6), base) || base < 0 || base > 0xFFFF) {
                return fail("bad @base");
            }
            continue;
        }
        size_t tab = line.find('\t');
        long offset = 0;
        if (tab == std::string_view::npos || !ParseNumber(line.substr(0, tab), offset)) {
            return fail("expected offset, TAB, text");
        }
        long id = base + offset;
        if (offset < 0 || id > 0xFFFF) {
            return fail("identifier out of range");
        }
        texts_[static_cast<std::uint16_t>(id)] = std::string(line.substr(tab + 1));
    }
    return true;
}

std::string MessageCatalog::Load(std::uint16_t id) const {
    auto found = texts_.find(id);
    return found == texts_.end() ? std::string() : found->second;
}

}  // namespace quillet
