// What the catalogue tests share: the fifteen language sets, the offsets every
// set carries, and a strict UTF-8 check.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace quillet::testing {

struct LanguageSet {
    std::int32_t base;
    const char* code;  // the catalogue file's name without ".txt"; also the test name
    const char* name;
};

inline constexpr LanguageSet kAllSets[] = {
    {1000, "en", "English"},  {2000, "cs", "Czech"},      {3000, "da", "Danish"},
    {4000, "de", "German"},   {5000, "nl", "Dutch"},      {6000, "es", "Spanish"},
    {7000, "fi", "Finnish"},  {8000, "fr", "French"},     {9000, "hu", "Hungarian"},
    {10000, "it", "Italian"}, {11000, "no", "Norwegian"}, {12000, "pt", "Portuguese"},
    {13000, "pl", "Polish"},  {14000, "ru", "Russian"},   {15000, "sv", "Swedish"},
};

// The sets with texts of their own; Polish and Russian show the English texts.
inline constexpr LanguageSet kTranslatedSets[] = {
    {2000, "cs", "Czech"},      {3000, "da", "Danish"},      {4000, "de", "German"},
    {5000, "nl", "Dutch"},      {6000, "es", "Spanish"},     {7000, "fi", "Finnish"},
    {8000, "fr", "French"},     {9000, "hu", "Hungarian"},   {10000, "it", "Italian"},
    {11000, "no", "Norwegian"}, {12000, "pt", "Portuguese"}, {15000, "sv", "Swedish"},
};

inline constexpr std::int32_t kEnglish = 1000;
inline constexpr std::int32_t kPolish = 13000;
inline constexpr std::int32_t kRussian = 14000;

// Every offset a set carries, as the English set has them.
inline constexpr int kOffsets[] = {1,  2,  3,  4,  7,  11, 12, 21, 22,  23,  31,  32,  51, 61,
                                   62, 63, 64, 65, 66, 67, 68, 69, 101, 111, 121, 131, 132};

inline constexpr const char* kProductName = "Tarvane Nimbrel K7";
inline constexpr const char* kConfigFile = "quillet.txt";
inline constexpr const char* kAboutLabel = "&About Quillet...";

// True when `text` is well-formed UTF-8: shortest forms only, no surrogates,
// nothing above U+10FFFF.
inline bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int length = 0;
        std::uint32_t codePoint = 0;
        std::uint32_t smallest = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            codePoint = lead & 0x1F;
            smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            codePoint = lead & 0x0F;
            smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07;
            smallest = 0x10000;
        } else {
            return false;  // a continuation byte, or 0xF8..0xFF
        }
        if (text.size() - i < static_cast<size_t>(length)) {
            return false;
        }
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        if (codePoint < smallest || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

// Shows a set by its name in test output.
inline void PrintTo(const LanguageSet& set, std::ostream* os) {
    *os << set.name;
}

// Names parameterised tests after the set's file, e.g. "de".
struct SetName {
    template <typename Param>
    std::string operator()(const Param& info) const {
        return info.param.code;
    }
};

}  // namespace quillet::testing
