// The message catalogue: its file format, the fifteen built-in language sets,
// and the set a user's locale reaches through start-up.
#include <gtest/gtest.h>

#include <set>

#include "app/language_map.h"
#include "platform/user_language_posix.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"

namespace quillet::testing {
namespace {

const MessageCatalog& kCatalog = MessageCatalog::Builtin();

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
                                    std::string(290, 'x') +
                                    "\n@base 0\n101\t&About\n@base 1000\n2\tTwo\n",
                                &error))
        << error;
    EXPECT_EQ(catalog.Load(4001), "Eins \"zwei\"\t drei");
    EXPECT_EQ(catalog.Load(4061).size(), 290u);  // no cut at 255
    EXPECT_EQ(catalog.Load(101), "&About");
    // A text missing from a set stays empty: it is not replaced by the English one.
    PlatformDoubles doubles;
    NoPages pages;
    UpgradeApp app(doubles.Services(), pages, catalog);
    app.LanguageBase = 4000;
    std::string text = "before";
    app.LoadText(text, 2);
    EXPECT_EQ(text, "");
    for (const char* bad : {"1 no tab", "@base 70000", "@base 65000\n600\tx", "-1\tx"}) {
        EXPECT_FALSE(MessageCatalog().AddFile(bad, &error)) << bad;
    }
}

// Every set holds exactly the English offsets, each with a text; Polish and
// Russian show the English texts, every other set its own, with the English
// text's placeholders and names. String 101 is the
// About label in every language, and is not offset 101 of any set.
TEST(Catalog, EverySetHoldsTheEnglishOffsets) {
    const auto load = [](int id) { return kCatalog.Load(static_cast<std::uint16_t>(id)); };
    std::set<int> english;
    for (int offset = 1; offset < 1000; ++offset) {
        if (!load(kEnglishBase + offset).empty()) {
            english.insert(offset);
        }
    }
    ASSERT_EQ(english.size(), 29u);
    for (int base = 2000; base <= 15000; base += 1000) {
        for (int offset = 1; offset < 1000; ++offset) {
            EXPECT_TRUE(english.count(offset) || load(base + offset).empty()) << base + offset;
        }
        for (int offset : english) {
            const std::string text = load(base + offset);
            const std::string inEnglish = load(kEnglishBase + offset);
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
}

// Start-up on a refused platform for a user with that locale: the box shows
// text 7 of the locale's set, and every later text comes from it too. One
// locale per set, the ends of the Spanish range, and territories whose
// language alone would choose a set. The first variable set and not empty
// decides.
TEST(Catalog, StartUpShowsTheTextsOfTheLocalesSet) {
    struct Row {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        int base;
    };
    const Row rows[] = {
        {"cs_CZ", "de_DE", "it_IT", 2000},  {"", "da_DK", "it_IT", 3000},
        {nullptr, "", "DE_at.UTF-8", 4000}, {nullptr, nullptr, "nl_BE", 5000},
        {nullptr, nullptr, "es", 6000},     {nullptr, nullptr, "es_PR", 6000},
        {nullptr, nullptr, "es_US", 1000},  {nullptr, nullptr, "fi_FI", 7000},
        {nullptr, nullptr, "fr_CA", 8000},  {nullptr, nullptr, "hu_HU", 9000},
        {nullptr, nullptr, "it_CH", 10000}, {nullptr, nullptr, "nn_NO", 11000},
        {nullptr, nullptr, "pt_PT", 12000}, {nullptr, nullptr, "pl_PL", 13000},
        {nullptr, nullptr, "ru_RU", 14000}, {nullptr, nullptr, "sv_SE", 15000},
        {nullptr, nullptr, "sv_FI", 1000},  {nullptr, "", "", 1000},
    };
    for (const Row& row : rows) {
        PlatformDoubles doubles;
        doubles.log.FailCall("GetVersionEx");
        PosixUserLanguage language([&](const char* name) -> const char* {
            const std::string variable = name;
            return variable == "LC_ALL"        ? row.lcAll
                   : variable == "LC_MESSAGES" ? row.lcMessages
                   : variable == "LANG"        ? row.lang
                                               : nullptr;
        });
        NoPages pages;
        UpgradeApp app({language, doubles.platformVersion, doubles.messageBoxes, doubles.spooler,
                        doubles.imageFiles, doubles.registry},
                       pages);
        app.InitInstance();
        const auto text = [&](int offset) {
            return kCatalog.Load(static_cast<std::uint16_t>(row.base + offset));
        };
        EXPECT_EQ(doubles.log.story, std::vector<std::string>{"Box " + text(7)}) << row.lang;
        std::string loaded;
        app.LoadText(loaded, 131);
        EXPECT_EQ(loaded, text(131)) << row.lang;
    }
}

}  // namespace
}  // namespace quillet::testing
