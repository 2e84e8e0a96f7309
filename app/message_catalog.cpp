#include "app/message_catalog.h"

#include "app/data_file.h"
#include "resources/embedded_file.h"

namespace quillet {

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
    return ForEachLine(content, [&](int lineNumber, std::string_view line) {
        if (line.empty() || line.front() == '#') {
            return true;
        }
        if (line.starts_with("@base ")) {
            if (!ParseWholeNumber(line.substr(6), base) || base < 0 || base > 0xFFFF) {
                return DataFileError(error, lineNumber, "bad @base");
            }
            return true;
        }
        const size_t tab = line.find('\t');
        long offset = 0;
        if (tab == std::string_view::npos || !ParseWholeNumber(line.substr(0, tab), offset)) {
            return DataFileError(error, lineNumber, "expected offset, TAB, text");
        }
        // Checked before the sum, which a huge offset would overflow.
        if (offset < 0 || offset > 0xFFFF - base) {
            return DataFileError(error, lineNumber, "identifier outside 0 to 65535");
        }
        texts_[static_cast<std::uint16_t>(base + offset)] = std::string(line.substr(tab + 1));
        return true;
    });
}

std::string MessageCatalog::Load(std::uint16_t id) const {
    auto found = texts_.find(id);
    return found == texts_.end() ? std::string() : found->second;
}

}  // namespace quillet
