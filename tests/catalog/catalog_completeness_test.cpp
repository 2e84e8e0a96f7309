// Every language set carries the English set's offsets, each with a text, and
// nothing more; every text comes out of the catalogue whole.
#include <gtest/gtest.h>

#include <charconv>
#include <string>
#include <string_view>
#include <vector>

#include "app/message_catalog.h"
#include "app/upgrade_app.h"
#include "resources/embedded_file.h"
#include "tests/catalog/catalog_sets.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"

namespace quillet::testing {
namespace {

const MessageCatalog& Catalog() {
    return MessageCatalog::Builtin();
}

// The offsets the catalogue holds in [base, base + 1000).
std::vector<int> OffsetsOf(std::int32_t base) {
    std::vector<int> offsets;
    for (const auto& [id, text] : Catalog().Texts()) {
        if (id >= base && id < base + 1000) {
            offsets.push_back(id - base);
        }
    }
    return offsets;
}

TEST(EnglishSet, HoldsExactlyTheListedOffsets) {
    EXPECT_EQ(OffsetsOf(kEnglish), std::vector<int>(std::begin(kOffsets), std::end(kOffsets)));
}

class SetCompleteness : public ::testing::TestWithParam<LanguageSet> {};

// The English set's offsets and no others, each with a text that LoadText
// gives whole.
TEST_P(SetCompleteness, HoldsEveryEnglishOffsetWithATextAndNoOther) {
    const LanguageSet set = GetParam();
    EXPECT_EQ(OffsetsOf(set.base), OffsetsOf(kEnglish)) << set.name;
    PlatformDoubles doubles;
    NoPages pages;
    UpgradeApp app(doubles.Services(), pages);
    app.LanguageBase = set.base;
    for (int offset : kOffsets) {
        const std::string expected = Catalog().Load(static_cast<std::uint16_t>(set.base + offset));
        EXPECT_FALSE(expected.empty()) << set.name << " offset " << offset;
        std::string text = "left over";
        app.LoadText(text, offset);
        EXPECT_EQ(text, expected) << set.name << " offset " << offset;
    }
}

INSTANTIATE_TEST_SUITE_P(AllSets, SetCompleteness, ::testing::ValuesIn(kAllSets), SetName());

// The text lines of one catalogue file, read here without MessageCatalog.
struct FileText {
    int id;
    std::string text;
};

std::vector<FileText> TextLines(std::string_view content) {
    std::vector<FileText> lines;
    int base = 0;
    while (!content.empty()) {
        const size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (line.starts_with("@base ")) {
            line.remove_prefix(6);
            std::from_chars(line.data(), line.data() + line.size(), base);
            continue;
        }
        const size_t tab = line.find('\t');
        if (line.empty() || line.front() == '#' || tab == std::string_view::npos) {
            continue;
        }
        int offset = 0;
        std::from_chars(line.data(), line.data() + tab, offset);
        lines.push_back({base + offset, std::string(line.substr(tab + 1))});
    }
    return lines;
}

TEST(WholeTexts, EveryFileLineLoadsByteForByte) {
    int checked = 0;
    int longTexts = 0;
    for (const EmbeddedFile& file : resources::CatalogFiles()) {
        for (const FileText& line : TextLines(file.Text())) {
            EXPECT_EQ(Catalog().Load(static_cast<std::uint16_t>(line.id)), line.text)
                << file.name << " identifier " << line.id;
            ++checked;
            longTexts += line.text.size() > 255 ? 1 : 0;
        }
    }
    // Fifteen sets of the listed texts, and the About label: with every set holding
    // the English offsets, nothing stray.
    EXPECT_EQ(checked, 15 * std::size(kOffsets) + 1);
    // Some text is longer than 255 bytes, and no cut shortened it.
    EXPECT_GE(longTexts, 1);
}

}  // namespace
}  // namespace quillet::testing
