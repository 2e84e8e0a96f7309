// FillPrinterList against the plain list model.

#include "printer/printer_list.h"

#include <gtest/gtest.h>

#include "tests/doubles/doubles.h"

namespace quillet::testing {
namespace {

using Names = std::vector<std::string>;

struct ListCase {
    const char* name;
    Names printers;  // in the spooler's order
    std::string target;
    Names expectedEntries;
    int expectedSelection;

    // Test listings show the row by its name.
    friend void PrintTo(const ListCase& row, std::ostream* out) { *out << row.name; }
};

class FillPrinterListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(FillPrinterListTest, ListsSortedAndPreselects) {
    const ListCase& c = GetParam();
    CallLog log;
    RecordingSpooler spooler(log);
    spooler.printers = c.printers;
    PrinterListModel list;
    EXPECT_EQ(FillPrinterList(spooler, list, c.target), 1);
    EXPECT_EQ(list.Entries(), c.expectedEntries);
    EXPECT_EQ(list.GetCurSel(), c.expectedSelection);
}

INSTANTIATE_TEST_SUITE_P(
    Preselection, FillPrinterListTest,
    ::testing::Values(
        ListCase{"FirstSortedEntryThatBeginsWithTheModel",
                 {"Office Laser", "Tarvane Nimbrel K7 (Copy 2)", "Tarvane Nimbrel K7"},
                 "Tarvane Nimbrel K7",
                 {"Office Laser", "Tarvane Nimbrel K7", "Tarvane Nimbrel K7 (Copy 2)"},
                 1},
        ListCase{"CaseIsIgnored",
                 {"Office Laser", "TARVANE NIMBREL K7"},
                 "Tarvane Nimbrel K7",
                 {"Office Laser", "TARVANE NIMBREL K7"},
                 1},
        ListCase{"SpaceMatchesUnderscoreOfAQueueName",
                 {"Tarvane_Nimbrel_K7_Copy_2", "Office_Laser", "Tarvane_Nimbrel_K7"},
                 "Tarvane Nimbrel K7",
                 {"Office_Laser", "Tarvane_Nimbrel_K7", "Tarvane_Nimbrel_K7_Copy_2"},
                 1},
        ListCase{"ModelInTheMiddleIsNoMatch",
                 {"Zeta", "My Tarvane Nimbrel K7"},
                 "Tarvane Nimbrel K7",
                 {"My Tarvane Nimbrel K7", "Zeta"},
                 0},
        ListCase{"EmptyTargetSelectsFirst", {"b", "a"}, "", {"a", "b"}, 0},
        ListCase{"UnderscoreInTargetDoesNotMatchSpace",
                 {"Tarvane Nimbrel K7", "A"},
                 "Tarvane_Nimbrel",
                 {"A", "Tarvane Nimbrel K7"},
                 0},
        ListCase{"NamesWithAnyBytes",
                 {std::string(200, 'q'), "100% \"quoted\" \\share\\", "Tarvane Nimbrel K7"},
                 "tarvane",
                 {"100% \"quoted\" \\share\\", std::string(200, 'q'), "Tarvane Nimbrel K7"},
                 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FillPrinterList, NoPrintersLeavesTheListAsItWas) {
    CallLog log;
    RecordingSpooler spooler(log);
    PrinterListModel list;
    EXPECT_EQ(FillPrinterList(spooler, list, "Tarvane Nimbrel K7"), 0);
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetCurSel(), -1);

    spooler.printers = {"Office", "Tarvane Nimbrel K7"};
    ASSERT_EQ(FillPrinterList(spooler, list, "Tarvane Nimbrel K7"), 1);
    list.SetCurSel(0);  // the user's choice
    spooler.printers.clear();
    EXPECT_EQ(FillPrinterList(spooler, list, "Tarvane Nimbrel K7"), 0);
    EXPECT_EQ(list.Entries(), (Names{"Office", "Tarvane Nimbrel K7"}));
    EXPECT_EQ(list.GetCurSel(), 0);
}

TEST(PrinterListModel, SelectionFollowsItsEntryAsOthersAreAdded) {
    PrinterListModel list;
    list.AddString("m");
    list.SetCurSel(0);
    list.AddString("a");
    EXPECT_EQ(list.GetText(list.GetCurSel()), "m");
    list.AddString("z");
    EXPECT_EQ(list.GetText(list.GetCurSel()), "m");
    list.SetCurSel(7);
    EXPECT_EQ(list.GetCurSel(), -1);
    EXPECT_EQ(list.GetText(-1), "");
}

}  // namespace
}  // namespace quillet::testing
