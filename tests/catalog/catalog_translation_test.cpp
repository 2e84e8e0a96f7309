// The translated sets: each text is in its own language, keeps the names,
// buttons and numbers of the English text, uses one term for one thing, and
// is well-formed UTF-8.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ios>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <utility>
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

// Texts a language rightly writes as English does: {base, offset}. None so far.
const std::set<std::pair<std::int32_t, int>> kSameAsEnglishAllowed = {};

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

int CountOf(std::string_view text, std::string_view part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string_view::npos;
         at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

// `text` with the ASCII capitals made small, so that a term matches at the
// start of a sentence too.
std::string Lowered(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lowered;
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

TEST_P(TranslatedSet, NoTextIsTheEnglishText) {
    const LanguageSet set = GetParam();
    for (int offset : kOffsets) {
        if (kSameAsEnglishAllowed.count({set.base, offset}) != 0) {
            continue;
        }
        EXPECT_NE(Text(set.base, offset), English(offset)) << set.name << " offset " << offset;
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

TEST_P(TranslatedSet, NamesTheSameButtonsAsEnglish) {
    const LanguageSet set = GetParam();
    for (int offset : kOffsets) {
        for (const char* button : {"OK", "Cancel", "Retry"}) {
            EXPECT_EQ(CountWord(Text(set.base, offset), button), CountWord(English(offset), button))
                << set.name << " offset " << offset << " button " << button;
        }
    }
}

TEST_P(TranslatedSet, KeepsEveryNumber) {
    const LanguageSet set = GetParam();
    for (int offset : kOffsets) {
        EXPECT_EQ(DigitRuns(Text(set.base, offset)), DigitRuns(English(offset)))
            << set.name << " offset " << offset;
    }
}

TEST_P(TranslatedSet, NamesTheThreeWindowsVersions) {
    const std::string text = Text(GetParam().base, 7);
    for (const char* version : {"Windows 95", "Windows 98", "Windows Millennium"}) {
        EXPECT_NE(text.find(version), std::string::npos) << GetParam().name << ": " << version;
    }
}

TEST_P(TranslatedSet, EndsAsTheEnglishTextEnds) {
    const LanguageSet set = GetParam();
    for (int offset : kOffsets) {
        const std::string text = Text(set.base, offset);
        const std::string english = English(offset);
        ASSERT_FALSE(text.empty());
        for (char mark : {'.', '!'}) {
            EXPECT_EQ(text.back() == mark, english.back() == mark)
                << set.name << " offset " << offset << " mark " << mark;
        }
    }
}

TEST_P(TranslatedSet, HasNoStrayWhitespaceOrControlCharacters) {
    const LanguageSet set = GetParam();
    for (int offset : kOffsets) {
        const std::string text = Text(set.base, offset);
        ASSERT_FALSE(text.empty());
        EXPECT_NE(text.front(), ' ') << set.name << " offset " << offset;
        EXPECT_NE(text.back(), ' ') << set.name << " offset " << offset;
        for (char c : text) {
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                << set.name << " offset " << offset;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(TranslatedSets, TranslatedSet, ::testing::ValuesIn(kTranslatedSets),
                         SetName());

// The quotation marks and terms each language uses. A stem is a part every
// inflected form contains.
struct LanguageStyle {
    const char* code;
    const char* openQuote;
    const char* closeQuote;
    const char* printer;
    const char* firmware;
    const char* upgrade;
    const char* driver;
    const char* testPage;
    const char* led;
    std::vector<const char*> letters;  // letters of the language the texts must show
};

const LanguageStyle kStyles[] = {
    {.code = "cs",
     .openQuote = "„",
     .closeQuote = "“",
     .printer = "tiskárn",
     .firmware = "firmwar",
     .upgrade = "aktualizac",
     .driver = "ovladač",
     .testPage = "zkušební stránk",
     .led = "kontrolka LED",
     .letters = {"č", "ř", "ů", "ě", "š", "ž"}},
    {.code = "da",
     .openQuote = "»",
     .closeQuote = "«",
     .printer = "printer",
     .firmware = "firmware",
     .upgrade = "opgradering",
     .driver = "printerdriver",
     .testPage = "testside",
     .led = "LED-lampe",
     .letters = {"æ", "ø", "å"}},
    {.code = "de",
     .openQuote = "„",
     .closeQuote = "“",
     .printer = "Drucker",
     .firmware = "Firmware",
     .upgrade = "Aktualisierung",
     .driver = "Druckertreiber",
     .testPage = "Testseite",
     .led = "LED",
     .letters = {"ä", "ö", "ü", "ß"}},
    {.code = "nl",
     .openQuote = "“",
     .closeQuote = "”",
     .printer = "printer",
     .firmware = "firmware",
     .upgrade = "upgrade",
     .driver = "printerstuurprogramma",
     .testPage = "testpagina",
     .led = "LED-lampje",
     .letters = {}},
    {.code = "es",
     .openQuote = "«",
     .closeQuote = "»",
     .printer = "impresora",
     .firmware = "firmware",
     .upgrade = "actualización",
     .driver = "controlador de impresora",
     .testPage = "página de prueba",
     .led = "indicador LED",
     .letters = {"á", "é", "í", "ó", "¡"}},
    {.code = "fi",
     .openQuote = "”",
     .closeQuote = "”",
     .printer = "tulosti",
     .firmware = "laiteohjelmisto",
     .upgrade = "päivity",
     .driver = "tulostinohja",
     .testPage = "testisivu",
     .led = "LED-merkkivalo",
     .letters = {"ä", "ö"}},
    {.code = "fr",
     .openQuote = "«\u00a0",
     .closeQuote = "\u00a0»",
     .printer = "imprimante",
     .firmware = "micrologiciel",
     .upgrade = "mise à niveau",
     .driver = "pilote d'imprimante",
     .testPage = "page de test",
     .led = "voyant",
     .letters = {"é", "è", "à", "ê"}},
    {.code = "hu",
     .openQuote = "„",
     .closeQuote = "”",
     .printer = "nyomtató",
     .firmware = "firmware",
     .upgrade = "frissítés",
     .driver = "nyomtató-illesztőprogram",
     .testPage = "tesztoldal",
     .led = "LED-jelzőfény",
     .letters = {"á", "é", "ö", "ő", "ü", "ű"}},
    {.code = "it",
     .openQuote = "«",
     .closeQuote = "»",
     .printer = "stampante",
     .firmware = "firmware",
     .upgrade = "aggiornamento",
     .driver = "driver della stampante",
     .testPage = "pagina di prova",
     .led = "LED",
     .letters = {"à", "è", "ò"}},
    {.code = "no",
     .openQuote = "«",
     .closeQuote = "»",
     .printer = "skriver",
     .firmware = "fastvare",
     .upgrade = "oppgradering",
     .driver = "skriverdriver",
     .testPage = "testside",
     .led = "LED-lampen",
     .letters = {"ø", "å"}},
    {.code = "pt",
     .openQuote = "“",
     .closeQuote = "”",
     .printer = "impressora",
     .firmware = "firmware",
     .upgrade = "atualização",
     .driver = "driver da impressora",
     .testPage = "página de teste",
     .led = "LED",
     .letters = {"ã", "õ", "ç", "á", "é", "ê"}},
    {.code = "sv",
     .openQuote = "”",
     .closeQuote = "”",
     .printer = "skrivar",
     .firmware = "inbyggda programvara",
     .upgrade = "uppgradering",
     .driver = "skrivardrivrutin",
     .testPage = "testsida",
     .led = "lysdiod",
     .letters = {"ä", "å", "ö"}},
};

// The style of a set, or nullptr when the table lacks it.
const LanguageStyle* StyleOf(const LanguageSet& set) {
    for (const LanguageStyle& style : kStyles) {
        if (style.code == std::string_view(set.code)) {
            return &style;
        }
    }
    return nullptr;
}

class TranslatedStyle : public ::testing::TestWithParam<LanguageSet> {};

TEST_P(TranslatedStyle, QuotesTheCommandNameWithTheLanguagesMarks) {
    const LanguageSet set = GetParam();
    const LanguageStyle* style = StyleOf(set);
    ASSERT_NE(style, nullptr) << set.name;
    const std::string text = Text(set.base, 3);
    const size_t open = text.find(style->openQuote);
    ASSERT_NE(open, std::string::npos) << set.name;
    const size_t nameStart = open + std::string_view(style->openQuote).size();
    const size_t close = text.find(style->closeQuote, nameStart);
    ASSERT_NE(close, std::string::npos) << set.name;
    EXPECT_GT(close, nameStart + 3) << set.name << ": the quoted name is missing";
}

TEST_P(TranslatedStyle, UsesNoOtherQuotationMarks) {
    const LanguageSet set = GetParam();
    const LanguageStyle* style = StyleOf(set);
    ASSERT_NE(style, nullptr) << set.name;
    for (int offset : kOffsets) {
        std::string text = Text(set.base, offset);
        for (const char* mark : {style->openQuote, style->closeQuote}) {
            for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark)) {
                text.erase(at, std::string_view(mark).size());
            }
        }
        for (const char* other : {"\"", "„", "“", "”", "«", "»", "‚", "‘", "’", "‹", "›"}) {
            EXPECT_EQ(text.find(other), std::string::npos)
                << set.name << " offset " << offset << " has " << other;
        }
    }
}

// English offsets that name the thing, and the term the translation must use there.
TEST_P(TranslatedStyle, UsesOneTermForOneThing) {
    const LanguageSet set = GetParam();
    const LanguageStyle* found = StyleOf(set);
    ASSERT_NE(found, nullptr) << set.name;
    const LanguageStyle& style = *found;
    struct Use {
        const char* term;
        const char* thing;
        std::vector<int> offsets;
    };
    const Use uses[] = {
        {style.printer, "printer", {2, 3, 4, 12, 21, 22, 31, 32, 51, 61, 62, 63, 111, 121}},
        {style.firmware, "firmware", {11, 61, 131}},
        {style.upgrade, "upgrade", {3, 4, 7, 62, 101, 111, 121, 131, 132}},
        {style.driver, "printer driver", {12, 111, 121}},
        {style.testPage, "test page", {2, 21, 23}},
    };
    for (const Use& use : uses) {
        for (int offset : use.offsets) {
            EXPECT_NE(Lowered(Text(set.base, offset)).find(Lowered(use.term)), std::string::npos)
                << set.name << " offset " << offset << ": " << use.thing << " should be "
                << use.term;
        }
    }
    // Both LED texts name the LED twice.
    for (int offset : {51, 61}) {
        EXPECT_EQ(CountOf(English(offset), "LED"), 2);
        EXPECT_GE(CountOf(Lowered(Text(set.base, offset)), Lowered(style.led)), 2)
            << set.name << " offset " << offset << ": LED should be " << style.led;
    }
}

TEST_P(TranslatedStyle, ShowsTheLettersOfItsLanguage) {
    const LanguageSet set = GetParam();
    std::string all;
    for (int offset : kOffsets) {
        all += Text(set.base, offset);
    }
    const LanguageStyle* style = StyleOf(set);
    ASSERT_NE(style, nullptr) << set.name;
    for (const char* letter : style->letters) {
        EXPECT_NE(all.find(letter), std::string::npos) << set.name << " lacks " << letter;
    }
}

INSTANTIATE_TEST_SUITE_P(TranslatedSets, TranslatedStyle, ::testing::ValuesIn(kTranslatedSets),
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

// The characters above ASCII that a Windows code page holds, as UTF-8. The
// program hands its texts to the platform in the system's code page, so a
// set must keep to the letters of the code page its languages use.
constexpr std::string_view kWindows1252 =
    "€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ\u00a0¡¢£¤¥¦§¨©ª«¬\u00ad®¯°±²³´µ¶·¸¹º»¼½¾¿ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏÐÑÒÓÔÕÖ×Ø"
    "ÙÚÛÜÝÞßàáâãäåæçèéêëìíîïðñòóôõö÷øùúûüýþÿ";
constexpr std::string_view kWindows1250 =
    "€‚„…†‡‰Š‹ŚŤŽŹ‘’“”•–—™š›śťžź\u00a0ˇ˘Ł¤Ą¦§¨©Ş«¬\u00ad®Ż°±˛ł´µ¶·¸ąş»Ľ˝ľżŔÁÂĂÄĹĆÇČÉĘËĚÍÎĎĐŃŇÓÔŐÖ×Ř"
    "ŮÚŰÜÝŢßŕáâăäĺćçčéęëěíîďđńňóôőö÷řůúűüýţ˙";

// The code points of well-formed UTF-8 `text`.
std::u32string CodePoints(std::string_view text) {
    std::u32string points;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length && i + k < text.size(); ++k) {
            point = (point << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        points += point;
        i += length;
    }
    return points;
}

struct CodePageCase {
    LanguageSet set;
    std::string_view codePage;
};

void PrintTo(const CodePageCase& c, std::ostream* os) {
    *os << c.set.name;
}

class WindowsCodePage : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(WindowsCodePage, HoldsEveryCharacterOfTheSet) {
    const CodePageCase& c = GetParam();
    const std::u32string held = CodePoints(c.codePage);
    for (int offset : kOffsets) {
        const std::string text = Text(c.set.base, offset);
        ASSERT_TRUE(IsValidUtf8(text)) << c.set.name << " offset " << offset;
        for (char32_t point : CodePoints(text)) {
            EXPECT_TRUE(point < 0x80 || held.find(point) != std::u32string::npos)
                << c.set.name << " offset " << offset << ": U+" << std::hex
                << static_cast<std::uint32_t>(point);
        }
    }
}

// Central European languages use 1250, Western European ones and English 1252.
// The Polish and Russian sets show the English texts on systems of other code
// pages, so they keep to ASCII.
std::vector<CodePageCase> CodePageCases() {
    std::vector<CodePageCase> cases;
    for (const LanguageSet& set : kAllSets) {
        const std::string_view code = set.code;
        const std::string_view codePage = code == "cs" || code == "hu"   ? kWindows1250
                                          : code == "pl" || code == "ru" ? std::string_view()
                                                                         : kWindows1252;
        cases.push_back({set, codePage});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(AllSets, WindowsCodePage, ::testing::ValuesIn(CodePageCases()),
                         [](const auto& info) { return std::string(info.param.set.code); });

TEST(AboutLabelText, IsValidUtf8) {
    EXPECT_TRUE(IsValidUtf8(kAboutLabel));
}

}  // namespace
}  // namespace quillet::testing
