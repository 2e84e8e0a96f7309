// Reading "quillet.txt": real files in a temporary directory.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "emulator/temp_dir.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"

namespace quillet::testing {
namespace {

namespace fs = std::filesystem;

// Writes `bytes` to `name` in `dir` and returns its path.
std::string Write(const TempDir& dir, const std::string& name, const std::string& bytes) {
    std::ofstream(dir.File(name), std::ios::binary) << bytes;
    return dir.File(name);
}

struct ConfigCase {
    const char* name;
    std::string bytes;
    int result;
    std::string targetPrinter = {};
    int count = 0;
    std::vector<std::string> entries = {};  // the first `count` entries

    // Test listings show the row by its name.
    friend void PrintTo(const ConfigCase& row, std::ostream* out) { *out << row.name; }
};

class ConfigReaderTest : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(ConfigReaderTest, ReadsTheFileByTheRules) {
    const ConfigCase& c = GetParam();
    TempDir dir;
    PlatformDoubles doubles;
    NoPages pages;
    UpgradeApp app(doubles.Services(), pages);

    EXPECT_EQ(app.LoadConfigFrom(Write(dir, "quillet.txt", c.bytes)), c.result);
    if (c.result == 1) {
        EXPECT_EQ(app.TargetPrinter, c.targetPrinter);
        EXPECT_EQ(app.ImagePathCount, c.count);
        for (int i = 0; i < kImagePathSlots; ++i) {
            const std::string expected = i < static_cast<int>(c.entries.size()) ? c.entries[i] : "";
            EXPECT_EQ(app.ImagePaths[i], expected) << "entry " << i;
        }
    }
}

const std::string kLongName(1022, 'n');

INSTANTIATE_TEST_SUITE_P(
    Rules, ConfigReaderTest,
    ::testing::Values(
        ConfigCase{"WorkedExample",
                   "K7\r\nTarvane Nimbrel K7\r\nRelease 2.10\r\nFile=firmware.bin\r\n",
                   1,
                   "Tarvane Nimbrel K7",
                   1,
                   {"firmware.bin"}},
        ConfigCase{
            "J3IsAcceptedAlike", "J3\r\nName\r\nx\r\nFile=a.bin\r\n", 1, "Name", 1, {"a.bin"}},
        ConfigCase{"BareLineFeedsAreRejected", "K7\nTarvane Nimbrel K7\nx\nFile=f.bin\n", 0},
        ConfigCase{"LineFeedStaysWhereNoCarriageReturn",
                   "K7\r\nTarvane Nimbrel K7\nx\nFile=f.bin\n",
                   1,
                   "Tarvane Nimbrel K7\n",
                   1,
                   {"f.bin\n"}},
        ConfigCase{"LowerCaseKeywordIsRejected", "k7\r\nN\r\nx\r\n", 0},
        ConfigCase{"KeywordWithBlankIsRejected", "K7 \r\nN\r\nx\r\n", 0},
        ConfigCase{"KeywordBehindByteOrderMarkIsRejected", "\xEF\xBB\xBFK7\r\nN\r\nx\r\n", 0},
        ConfigCase{"TextIsCutAtFirstCarriageReturn", "K7\rjunk\r\nN\rmore\r\nx\r\n", 1, "N", 0},
        ConfigCase{"ThreeLinesGiveNoEntries", "K7\r\nN\r\nx\r\n", 1, "N", 0},
        ConfigCase{"ThreeLinesWithoutLastLineEnd", "K7\r\nN\r\nx", 1, "N", 0},
        // Kept, not dropped: the path would otherwise only be missed once the
        // printer waits in download mode.
        ConfigCase{"LastListLineWithoutLineEndIsKept",
                   "K7\r\nN\r\nx\r\nFile=firmware.bin",
                   1,
                   "N",
                   1,
                   {"firmware.bin"}},
        ConfigCase{"TenListLinesFillFiveEntries",
                   "K7\r\nN\r\nx\r\nFile=0\r\nFile=1\r\nFile=2\r\nFile=3\r\nFile=4\r\nFile=5\r\n"
                   "File=6\r\nFile=7\r\nFile=8\r\nFile=9\r\n",
                   1,
                   "N",
                   5,
                   {"0", "1", "2", "3", "4"}},
        ConfigCase{"FiveCharacterLineGivesEmptyEntry",
                   "K7\r\nN\r\nx\r\nFile=\r\nFile=b\r\n",
                   1,
                   "N",
                   2,
                   {"", "b"}},
        ConfigCase{"ShortListLineStoresEmptyString",
                   "K7\r\nN\r\nx\r\nab\r\nFile=b\r\n",
                   1,
                   "N",
                   2,
                   {"", "b"}},
        ConfigCase{"ShortListLineWithLineFeedOnly",
                   "K7\r\nN\r\nx\r\nab\nFile=b\r\n",
                   1,
                   "N",
                   2,
                   {"", "b"}},
        ConfigCase{"EmptyFileIsRejected", "", 0},
        ConfigCase{"TwoLinesAreRejected", "J3\r\nN\r\n", 0},
        ConfigCase{"EmptyLineTwoIsAccepted", "K7\r\n\r\nx\r\n", 1, "", 0},
        // 1022 characters, CR, LF: the first 1023 bytes are line 2, the lone
        // line feed is line 3 and the real line 3 the first list line.
        ConfigCase{"OverlongLineSplitsAt1023Bytes",
                   "K7\r\n" + kLongName + "\r\nline3-text\r\nFile=x\r\n",
                   1,
                   kLongName,
                   2,
                   {"-text", "x"}},
        // Bytes after a NUL never reach the text, as in any C string.
        ConfigCase{"NulByteEndsTheText",
                   std::string("K7\r\nAB\0CD\r\nx\r\nFile=p\0q\r\n", 23),
                   1,
                   "AB",
                   1,
                   {"p"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigReader, MissingFileOrDirectoryIsRejected) {
    TempDir dir;
    PlatformDoubles doubles;
    NoPages pages;
    UpgradeApp app(doubles.Services(), pages);
    EXPECT_EQ(app.LoadConfigFrom((dir.Path() / "quillet.txt").string()), 0);
    fs::create_directory(dir.Path() / "quillet.txt");
    EXPECT_EQ(app.LoadConfigFrom((dir.Path() / "quillet.txt").string()), 0);
}

}  // namespace
}  // namespace quillet::testing
