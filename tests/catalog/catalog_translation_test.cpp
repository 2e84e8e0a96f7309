// The translated sets: each text is in its own language, keeps the names,
// buttons and numbers of the English text, and is well-formed UTF-8.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/message_catalog.h"
#include "tests/catalog/catalog_sets.h"

namespace quillet::testing {
namespace {

std::string Text(std::int32_t base, int offset) {
    return MessageCatalog::Builtin().Load(static_cast<std::uint16_t>(base + offset));
}

std::string English(int offset) {
    return Text(kEnglish, offset);
}

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// How often `word` stands in `text` as a word of its own ("OK-knappen" counts
// for OK, "BOOK" does not).
int CountWord(std::string_view text, std::string_view word) {
    int count = 0;
    for (size_t at = text.find(word); at != std::string_view::npos;
         at = text.find(word, at + word.size())) {
        const bool startsWord = at == 0 || !IsAsciiLetter(text[at - 1]);
        const size_t after = at + word.size();
        const bool endsWord = after == text.size() || !IsAsciiLetter(text[after]);
        count += startsWord && endsWord ? 1 : 0;
    }
    return count;
}

std::vector<std::string> DigitRuns(std::string_view text) {
    std::vector<std::string> runs;
    std::string run;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            run += c;
        } else if (!run.empty()) {
            runs.push_back(run);
            run.clear();
        }
    }
    if (!run.empty()) {
        runs.push_back(run);
    }
    std::sort(runs.begin(), runs.end());
    return runs;
}

class TranslatedSet : public ::testing::TestWithParam<LanguageSet> {};

// Each text differs from the English one, names the same buttons, keeps its
// numbers, ends with the same mark and has no stray whitespace or control
// characters.
TEST_P(TranslatedSet, EachTextTranslatesItsEnglishText) {
    const LanguageSet set = GetParam();
    for (int offset : kOffsets) {
        const std::string text = Text(set.base, offset);
        const std::string english = English(offset);
        ASSERT_FALSE(text.empty()) << set.name << " offset " << offset;
        EXPECT_NE(text, english) << set.name << " offset " << offset;
        for (const char* button : {"OK", "Cancel", "Retry"}) {
            EXPECT_EQ(CountWord(text, button), CountWord(english, button))
                << set.name << " offset " << offset << " button " << button;
        }
        EXPECT_EQ(DigitRuns(text), DigitRuns(english)) << set.name << " offset " << offset;
        for (char mark : {'.', '!'}) {
            EXPECT_EQ(text.back() == mark, english.back() == mark)
                << set.name << " offset " << offset << " mark " << mark;
        }
        EXPECT_NE(text.front(), ' ') << set.name << " offset " << offset;
        EXPECT_NE(text.back(), ' ') << set.name << " offset " << offset;
        for (char c : text) {
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                << set.name << " offset " << offset;
        }
    }
}

TEST_P(TranslatedSet, KeepsTheProductAndFileNames) {
    const LanguageSet set = GetParam();
    for (int offset : {11, 12, 131}) {
        ASSERT_NE(English(offset).find(kProductName), std::string::npos);
        EXPECT_NE(Text(set.base, offset).find(kProductName), std::string::npos)
            << set.name << " offset " << offset;
    }
    ASSERT_NE(English(1).find(kConfigFile), std::string::npos);
    EXPECT_NE(Text(set.base, 1).find(kConfigFile), std::string::npos) << set.name;
}

TEST_P(TranslatedSet, NamesTheThreeWindowsVersions) {
    const std::string text = Text(GetParam().base, 7);
    for (const char* version : {"Windows 95", "Windows 98", "Windows Millennium"}) {
        EXPECT_NE(text.find(version), std::string::npos) << GetParam().name << ": " << version;
    }
}

INSTANTIATE_TEST_SUITE_P(TranslatedSets, TranslatedSet, ::testing::ValuesIn(kTranslatedSets),
                         SetName());

TEST(Utf8Check, AcceptsWellFormedText) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain ASCII"));
    EXPECT_TRUE(IsValidUtf8("Příliš žluťoučký kůň, ÆØÅ, ß, ő ű, ñ, ã õ, «»„“"));
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x96\xA8"));  // U+1F5A8, four bytes
}

TEST(Utf8Check, RejectsMalformedText) {
    EXPECT_FALSE(IsValidUtf8("\x80"));              // continuation byte first
    EXPECT_FALSE(IsValidUtf8("caf\xE9"));           // Latin-1, not UTF-8
    EXPECT_FALSE(IsValidUtf8("\xC3"));              // cut short
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));          // cut short
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));      // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate U+D800
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xF8\x88\x80\x80\x80"));
    EXPECT_FALSE(IsValidUtf8("a\xC3(b"));  // lead byte without its continuation
}

class EverySet : public ::testing::TestWithParam<LanguageSet> {};

TEST_P(EverySet, EveryTextIsValidUtf8) {
    const LanguageSet set = GetParam();
    for (int offset : kOffsets) {
        EXPECT_TRUE(IsValidUtf8(Text(set.base, offset))) << set.name << " offset " << offset;
    }
}

INSTANTIATE_TEST_SUITE_P(AllSets, EverySet, ::testing::ValuesIn(kAllSets), SetName());

TEST(AboutLabelText, IsValidUtf8) {
    EXPECT_TRUE(IsValidUtf8(kAboutLabel));
}

}  // namespace
}  // namespace quillet::testing
