// Reading "quillet.txt": real files in a temporary directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "emulator/temp_dir.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"

namespace quillet::testing {
namespace {

struct ConfigCase {
    const char* name;
    std::string bytes;
    const char* target;                // nullptr: the file is rejected
    std::vector<std::string> entries;  // the image paths read, in order
};

TEST(ConfigReader, ReadsTheFileByTheRules) {
    const std::string longName(1022, 'n');
    const ConfigCase rows[] = {
        {"WorkedExample",
         "K7\r\nTarvane Nimbrel K7\r\nRelease 2.10\r\nFile=firmware.bin\r\n",
         "Tarvane Nimbrel K7",
         {"firmware.bin"}},
        {"J3IsAcceptedAlike", "J3\r\nName\r\nx\r\nFile=a.bin\r\n", "Name", {"a.bin"}},
        {"BareLineFeedsAreRejected", "K7\nTarvane Nimbrel K7\nx\nFile=f.bin\n", nullptr, {}},
        {"LineFeedStaysWhereNoCarriageReturn",
         "K7\r\nTarvane Nimbrel K7\nx\nFile=f.bin\n",
         "Tarvane Nimbrel K7\n",
         {"f.bin\n"}},
        {"LowerCaseKeywordIsRejected", "k7\r\nN\r\nx\r\n", nullptr, {}},
        {"KeywordWithBlankIsRejected", "K7 \r\nN\r\nx\r\n", nullptr, {}},
        {"KeywordBehindByteOrderMarkIsRejected", "\xEF\xBB\xBFK7\r\nN\r\nx\r\n", nullptr, {}},
        {"TextIsCutAtFirstCarriageReturn", "K7\rjunk\r\nN\rmore\r\nx\r\n", "N", {}},
        {"ThreeLinesGiveNoEntries", "K7\r\nN\r\nx\r\n", "N", {}},
        {"ThreeLinesWithoutLastLineEnd", "K7\r\nN\r\nx", "N", {}},
        // Kept, not dropped: the path would otherwise only be missed once the
        // printer waits in download mode.
        {"LastListLineWithoutLineEndIsKept",
         "K7\r\nN\r\nx\r\nFile=firmware.bin",
         "N",
         {"firmware.bin"}},
        {"TenListLinesFillFiveEntries",
         "K7\r\nN\r\nx\r\nFile=0\r\nFile=1\r\nFile=2\r\nFile=3\r\nFile=4\r\nFile=5\r\n"
         "File=6\r\nFile=7\r\nFile=8\r\nFile=9\r\n",
         "N",
         {"0", "1", "2", "3", "4"}},
        {"FiveCharacterLineGivesEmptyEntry", "K7\r\nN\r\nx\r\nFile=\r\nFile=b\r\n", "N", {"", "b"}},
        {"ShortListLineStoresEmptyString", "K7\r\nN\r\nx\r\nab\r\nFile=b\r\n", "N", {"", "b"}},
        {"ShortListLineWithLineFeedOnly", "K7\r\nN\r\nx\r\nab\nFile=b\r\n", "N", {"", "b"}},
        {"EmptyFileIsRejected", "", nullptr, {}},
        {"TwoLinesAreRejected", "J3\r\nN\r\n", nullptr, {}},
        {"EmptyLineTwoIsAccepted", "K7\r\n\r\nx\r\n", "", {}},
        // 1022 characters, CR, LF: the first 1023 bytes are line 2, the lone
        // line feed is line 3 and the real line 3 the first list line.
        {"OverlongLineSplitsAt1023Bytes",
         "K7\r\n" + longName + "\r\nline3-text\r\nFile=x\r\n",
         longName.c_str(),
         {"-text", "x"}},
        // Bytes after a NUL never reach the text, as in any C string.
        {"NulByteEndsTheText", std::string("K7\r\nAB\0CD\r\nx\r\nFile=p\0q\r\n", 23), "AB", {"p"}},
    };
    TempDir dir;
    PlatformDoubles doubles;
    NoPages pages;
    for (const ConfigCase& row : rows) {
        SCOPED_TRACE(row.name);
        std::ofstream(dir.File("quillet.txt"), std::ios::binary | std::ios::trunc) << row.bytes;
        UpgradeApp app(doubles.Services(), pages);
        EXPECT_EQ(app.LoadConfigFrom(dir.File("quillet.txt")), row.target ? 1 : 0);
        if (row.target) {
            EXPECT_EQ(app.TargetPrinter, row.target);
            EXPECT_EQ(app.ImagePathCount, static_cast<int>(row.entries.size()));
            for (int i = 0; i < kImagePathSlots; ++i) {
                EXPECT_EQ(app.ImagePaths[i],
                          i < static_cast<int>(row.entries.size()) ? row.entries[i] : "")
                    << i;
            }
        }
    }
    // Neither a missing file nor a directory is read.
    std::filesystem::remove(dir.File("quillet.txt"));
    UpgradeApp app(doubles.Services(), pages);
    EXPECT_EQ(app.LoadConfigFrom(dir.File("quillet.txt")), 0);
    std::filesystem::create_directory(dir.File("quillet.txt"));
    EXPECT_EQ(app.LoadConfigFrom(dir.File("quillet.txt")), 0);
}

}  // namespace
}  // namespace quillet::testing
