// Sets without texts of their own, offsets without a text, and the About
// label that stands outside the sets.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/message_catalog.h"
#include "app/upgrade_app.h"
#include "tests/catalog/catalog_sets.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"

namespace quillet::testing {
namespace {

std::string English(int offset) {
    return MessageCatalog::Builtin().Load(static_cast<std::uint16_t>(kEnglish + offset));
}

// An application object with the language set chosen directly.
struct AppWithBase {
    explicit AppWithBase(std::int32_t base) { app.LanguageBase = base; }

    std::string Text(int offset) const {
        std::string text = "left over";
        app.LoadText(text, offset);
        return text;
    }

    PlatformDoubles doubles;
    NoPages pages;
    UpgradeApp app{doubles.Services(), pages};
};

class EnglishWordForWord : public ::testing::TestWithParam<LanguageSet> {};

TEST_P(EnglishWordForWord, EveryTextEqualsEnglish) {
    const AppWithBase user(GetParam().base);
    for (int offset : kOffsets) {
        EXPECT_EQ(user.Text(offset), English(offset)) << "offset " << offset;
    }
}

INSTANTIATE_TEST_SUITE_P(PolishAndRussian, EnglishWordForWord,
                         ::testing::Values(LanguageSet{kPolish, "pl", "Polish"},
                                           LanguageSet{kRussian, "ru", "Russian"}),
                         SetName());

class MissingOffset : public ::testing::TestWithParam<LanguageSet> {};

TEST_P(MissingOffset, GivesEmptyText) {
    const AppWithBase user(GetParam().base);
    for (int offset : {0, 5, 6, 8, 10, 13, 24, 50, 70, 100, 102, 133, 500, 999}) {
        EXPECT_EQ(user.Text(offset), "") << "offset " << offset;
    }
}

INSTANTIATE_TEST_SUITE_P(AllSets, MissingOffset, ::testing::ValuesIn(kAllSets), SetName());

class AboutLabel : public ::testing::TestWithParam<LanguageSet> {};

// The same label whatever the language, and not the set's offset 101.
TEST_P(AboutLabel, IsTheSameWhateverTheLanguageAndNotOffset101) {
    const AppWithBase user(GetParam().base);
    EXPECT_EQ(user.app.LoadString(kAboutMenuStringId), kAboutLabel);
    const std::string completion = user.Text(101);
    EXPECT_FALSE(completion.empty());
    EXPECT_NE(completion, kAboutLabel);
    EXPECT_EQ(completion,
              MessageCatalog::Builtin().Load(static_cast<std::uint16_t>(GetParam().base + 101)));
}

INSTANTIATE_TEST_SUITE_P(AllSets, AboutLabel, ::testing::ValuesIn(kAllSets), SetName());

}  // namespace
}  // namespace quillet::testing
