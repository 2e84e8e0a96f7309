// The rules that no whole run reaches: reading "quillet.txt" (a real file),
// the printer list's order and preselection, and the driver key's path and
// value.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "emulator/temp_dir.h"
#include "printer/printer_list.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"

namespace quillet::testing {
namespace {

using Names = std::vector<std::string>;

TEST(ConfigReader, ReadsTheFileByTheRules) {
    const std::string longName(1022, 'n');
    const struct {
        const char* name;
        std::string bytes;
        const char* target;  // nullptr: the file is rejected
        Names entries;       // the image paths read, in order
    } rows[] = {
        {"J3IsAcceptedAlike", "J3\r\nName\r\nx\r\nFile=a.bin\r\n", "Name", {"a.bin"}},
        {"LineFeedStaysWhereNoCarriageReturn", "K7\r\nN\nx\nFile=f.bin\n", "N\n", {"f.bin\n"}},
        {"KeywordIsExact", "k7\r\nN\r\nx\r\n", nullptr, {}},
        {"TextIsCutAtFirstCarriageReturn", "K7\rjunk\r\nN\rmore\r\nx\r\n", "N", {}},
        {"ThreeLinesWithoutLastLineEnd", "K7\r\nN\r\nx", "N", {}},
        {"TwoLinesAreRejected", "J3\r\nN\r\n", nullptr, {}},
        // Kept, not dropped: the path would otherwise only be missed once the
        // printer waits in download mode.
        {"LastListLineWithoutLineEndIsKept", "K7\r\nN\r\nx\r\nFile=a", "N", {"a"}},
        {"SixListLinesFillFiveEntries",
         "K7\r\nN\r\nx\r\nFile=0\r\nab\r\nFile=2\r\nFile=3\r\nFile=4\r\nFile=5\r\n",
         "N",
         {"0", "", "2", "3", "4"}},
        // 1022 characters, CR, LF: the first 1023 bytes are line 2, the lone
        // line feed is line 3 and the real line 3 the first list line.
        {"OverlongLineSplitsAt1023Bytes",
         "K7\r\n" + longName + "\r\nline3-text\r\n",
         longName.c_str(),
         {"-text"}},
    };
    TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::ofstream(dir.File("quillet.txt"), std::ios::binary | std::ios::trunc) << row.bytes;
        const auto config = ReadConfig(StandardConfigFiles(), dir.File("quillet.txt"));
        ASSERT_EQ(config.has_value(), row.target != nullptr);
        if (row.target) {
            EXPECT_EQ(config->targetPrinter, row.target);
            EXPECT_EQ(Names(config->imagePaths.begin(),
                            config->imagePaths.begin() + config->imagePathCount),
                      row.entries);
        }
    }
}

// A welcome page that could not be made (-1) counts as confirmed: the
// selection page follows.
TEST(StartUp, WelcomePageThatCannotBeMadeCountsAsConfirmed) {
    struct : FirstPages {
        std::vector<int> runs;
        int RunWelcomePage(UpgradeApp&) override { return runs.push_back(140), -1; }
        int RunSelectPrinterPage(UpgradeApp&) override { return runs.push_back(102), -1; }
    } pages;
    struct : ConfigFiles {
        std::FILE* Open(const std::string&) override {
            static char config[] = "K7\r\nN\r\nx\r\n";
            return ::fmemopen(config, sizeof config - 1, "rb");
        }
    } config;
    PlatformDoubles doubles;
    UpgradeApp app({doubles.userLanguage, doubles.platformVersion, doubles.messageBoxes,
                    doubles.spooler, doubles.imageFiles, doubles.registry, config},
                   pages);
    app.InitInstance();
    EXPECT_EQ(pages.runs, (std::vector<int>{140, 102}));
}

// Sorted without regard to case; the first entry that begins with the model's
// name, a space in it matching an underscore of a queue's name, else the first.
// No printers leave the list and the user's choice as they were.
TEST(FillPrinterList, ListsSortedAndPreselects) {
    const struct {
        Names printers;  // in the spooler's order
        const char* target;
        Names entries;
        int selection;
    } rows[] = {
        {{"office", "TARVANE NIMBREL K7 (Copy 2)", "Zeta", "tarvane nimbrel k7"},
         "Tarvane Nimbrel K7",
         {"office", "tarvane nimbrel k7", "TARVANE NIMBREL K7 (Copy 2)", "Zeta"},
         1},
        {{"Tarvane Nimbrel K7", "My Tarvane_Nimbrel K7", "A"},
         "Tarvane_Nimbrel",
         {"A", "My Tarvane_Nimbrel K7", "Tarvane Nimbrel K7"},
         0},
    };
    CallLog log;
    RecordingSpooler spooler(log);
    PrinterListModel list;
    for (const auto& row : rows) {
        spooler.printers = row.printers;
        EXPECT_EQ(FillPrinterList(spooler, list, row.target), 1);
        EXPECT_EQ(list.Entries(), row.entries);
        EXPECT_EQ(list.GetCurSel(), row.selection);
    }
    list.SetCurSel(2);
    spooler.printers.clear();
    EXPECT_EQ(FillPrinterList(spooler, list, "Tarvane Nimbrel K7"), 0);
    EXPECT_EQ(list.Entries(), rows[1].entries);
    EXPECT_EQ(list.GetCurSel(), 2);
}

// The value is read whole, higher bytes too. A key path that does not fit its
// 1024-character buffer is never opened: cut short, it could name another
// printer's key.
TEST(AutoRun, ValueReadWholeAndAPathTooLongIsNeverOpened) {
    const std::string prefix = "System\\CurrentControlSet\\control\\Print\\Printers\\";
    const std::size_t fitting = 1023 - prefix.size() - std::strlen("\\PrinterDriverData");
    for (const std::size_t length : {fitting, fitting + 1}) {
        PlatformDoubles doubles;
        const std::string printer(length, 'p');
        const std::string path = prefix + printer + "\\PrinterDriverData";
        for (const std::string& key : {path, path.substr(0, 1023)}) {
            doubles.registry.SetDword(key, "SM AutoRun", 0x100);
        }
        EXPECT_EQ(ReadAutoRun(doubles.registry, printer),
                  length == fitting ? std::optional<std::int32_t>(0x100) : std::nullopt);
        WriteAutoRun(doubles.registry, printer, 0);
        EXPECT_EQ(doubles.log.Count("RegSetValue"), length == fitting ? 1 : 0) << length;
    }
}

}  // namespace
}  // namespace quillet::testing
