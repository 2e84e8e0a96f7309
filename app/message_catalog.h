// The texts the wizard shows, found by numeric identifier. The texts live in
// resources/catalog/, one file per language set, embedded at build time.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace quillet {

// The About entry's label; one text for every language, no base added.
inline constexpr std::uint16_t kAboutMenuStringId = 101;

class MessageCatalog {
public:
    // The catalogue built into the program.
    static const MessageCatalog& Builtin();

    // Parses one catalogue file. Each text line is "offset<TAB>text"; the
    // line "@base N" sets the base for the lines after it; blank lines and
    // lines starting with '#' are skipped. Returns false on a malformed line.
    bool AddFile(std::string_view content, std::string* error = nullptr);

    // The text with that identifier, or the empty string when there is none.
    std::string Load(std::uint16_t id) const;

private:
    std::map<std::uint16_t, std::string> texts_;
};

}  // namespace quillet
