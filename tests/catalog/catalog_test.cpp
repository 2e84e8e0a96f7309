// The message catalogue: its file format, the fifteen built-in language sets,
// and the set a user's locale reaches through start-up.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "app/language_map.h"
#include "platform/user_language_posix.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"

namespace quillet::testing {
namespace {

const MessageCatalog& Catalog() {
    return MessageCatalog::Builtin();
}

int Count(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(Catalog, FileFormat) {
    MessageCatalog catalog;
    std::string error;
    EXPECT_TRUE(catalog.AddFile("# comment\r\n@base 4000\r\n\r\n1\tEins \"zwei\"\t drei\r\n61\t" +
                                    std::string(290, 'x') + "\n@base 0\n101\t&About\n2\t",
                                &error))
        << error;
    EXPECT_EQ(catalog.Load(4001), "Eins \"zwei\"\t drei");
    EXPECT_EQ(catalog.Load(4061).size(), 290u);  // no cut at 255
    EXPECT_EQ(catalog.Load(101), "&About");
    EXPECT_TRUE(catalog.Contains(2));
    for (const char* bad :
         {"1 no tab", "x\ttext", "@base -1", "@base 70000", "@base 65000\n600\tx", "-1\tx"}) {
        MessageCatalog rejected;
        EXPECT_FALSE(rejected.AddFile(bad, &error)) << bad;
    }
}

// Every set holds exactly the English offsets, each with a text; Polish and
// Russian show the English texts, every other set its own, with the English
// text's placeholders and names. String 101 is the
// About label in every language, and is not offset 101 of any set.
TEST(Catalog, EverySetHoldsTheEnglishOffsets) {
    std::set<int> english;
    for (const auto& [id, text] : Catalog().Texts()) {
        if (id > kEnglishBase && id < kEnglishBase + 1000) {
            english.insert(id - kEnglishBase);
        }
    }
    ASSERT_EQ(english.size(), 29u);
    for (int base = 2000; base <= 15000; base += 1000) {
        for (const auto& [id, text] : Catalog().Texts()) {
            if (id > base && id < base + 1000) {
                EXPECT_TRUE(english.count(id - base)) << "extra id " << id;
            }
        }
        for (int offset : english) {
            const std::string text = Catalog().Load(static_cast<std::uint16_t>(base + offset));
            const std::string inEnglish =
                Catalog().Load(static_cast<std::uint16_t>(kEnglishBase + offset));
            EXPECT_FALSE(text.empty()) << base + offset;
            EXPECT_EQ(text == inEnglish, base == 13000 || base == 14000) << base + offset;
            EXPECT_NE(text, "&About Quillet...") << base + offset;
            // The program fills in %1, and the names must stay findable; a
            // plain space before % lets the line wrap between number and sign.
            EXPECT_EQ(Count(text, "%1"), Count(inEnglish, "%1")) << base + offset;
            for (const char* name : {"Tarvane", "quillet.txt"}) {
                EXPECT_EQ(Count(text, name), Count(inEnglish, name)) << base + offset << name;
            }
            EXPECT_EQ(Count(text, "%1 %"), 0) << base + offset;
        }
    }
    EXPECT_EQ(Catalog().Load(kAboutMenuStringId), "&About Quillet...");
}

// Start-up on a refused platform for a user with that locale: the box shows
// text 7 of the locale's set, and every later text comes from it too.
TEST(Catalog, StartUpShowsTheTextsOfTheLocalesSet) {
    const std::map<std::string, std::int32_t> rows = {
        {"de_AT.UTF-8", 4000}, {"nl_BE", 5000},  {"es_MX", 6000}, {"fr_CA", 8000}, {"nn_NO", 11000},
        {"pt_PT", 12000},      {"sv_SE", 15000}, {"sv_FI", 1000}, {"es_US", 1000}, {"C", 1000},
    };
    for (const auto& [locale, base] : rows) {
        PlatformDoubles doubles;
        doubles.log.FailCall("GetVersionEx");
        PosixUserLanguage language([&](const char* name) -> const char* {
            return std::string(name) == "LANG" ? locale.c_str() : nullptr;
        });
        NoPages pages;
        UpgradeApp app({language, doubles.platformVersion, doubles.messageBoxes, doubles.spooler,
                        doubles.imageFiles, doubles.registry},
                       pages);
        app.InitInstance();
        EXPECT_EQ(
            doubles.log.story,
            std::vector<std::string>{"Box " + Catalog().Load(static_cast<std::uint16_t>(base + 7))})
            << locale;
        std::string text;
        app.LoadText(text, 131);
        EXPECT_EQ(text, Catalog().Load(static_cast<std::uint16_t>(base + 131))) << locale;
        app.LanguageBase = 65535;  // an identifier outside 16 bits has no text
        app.LoadText(text, 1);
        EXPECT_EQ(text, "");
    }
}

}  // namespace
}  // namespace quillet::testing
