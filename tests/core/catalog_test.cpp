// The built-in catalogue and the file format translators edit.

#include <gtest/gtest.h>

#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"

namespace quillet::testing {
namespace {

const MessageCatalog& Catalog() {
    return MessageCatalog::Builtin();
}

TEST(Catalog, StringOneHundredOneIsTheAboutLabelNotTheCompletionText) {
    EXPECT_EQ(Catalog().Load(kAboutMenuStringId), "&About Quillet...");
    PlatformDoubles doubles;
    NoPages pages;
    UpgradeApp app(doubles.Services(), pages);
    app.LanguageBase = 13000;
    std::string text;
    app.LoadText(text, 101);
    EXPECT_EQ(text, "Congratulations! Your upgrade is complete!");
    EXPECT_EQ(app.LoadString(kAboutMenuStringId), "&About Quillet...");
}

TEST(Catalog, IdentifierOutsideSixteenBitsGivesEmptyText) {
    PlatformDoubles doubles;
    NoPages pages;
    UpgradeApp app(doubles.Services(), pages);
    std::string text = "previous";
    app.LanguageBase = 65535;
    app.LoadText(text, 1);
    EXPECT_EQ(text, "");
    app.LanguageBase = 0;  // before the language is chosen
    app.LoadText(text, -1);
    EXPECT_EQ(text, "");
}

TEST(Catalog, FileFormat) {
    MessageCatalog catalog;
    std::string error;
    EXPECT_TRUE(
        catalog.AddFile("# comment\r\n@base 4000\r\n\r\n1\tEins \"zwei\"\t drei\r\n"
                        "61\t" +
                            std::string(290, 'x') + "\n@base 0\n101\t&About\n2\t",
                        &error))
        << error;
    EXPECT_EQ(catalog.Load(4001), "Eins \"zwei\"\t drei");
    EXPECT_EQ(catalog.Load(4061).size(), 290u);  // no cut at 255
    EXPECT_EQ(catalog.Load(101), "&About");
    EXPECT_TRUE(catalog.Contains(2));
    EXPECT_EQ(catalog.Load(2), "");

    for (const char* bad : {"1 no tab", "x\ttext", "@base -1", "@base 70000", "@base 65000\n600\tx",
                            "-1\tx", "@base 65535\n9223372036854775807\tx"}) {
        MessageCatalog rejected;
        EXPECT_FALSE(rejected.AddFile(bad, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace quillet::testing
