// FillPrinterList against the plain list model.
#include "printer/printer_list.h"

#include <gtest/gtest.h>

#include "tests/doubles/doubles.h"

namespace quillet::testing {
namespace {

using Names = std::vector<std::string>;

TEST(FillPrinterList, ListsSortedAndPreselects) {
    struct Row {
        const char* name;
        Names printers;  // in the spooler's order
        std::string target;
        Names entries;
        int selection;
    };
    const Row rows[] = {
        {"FirstSortedEntryThatBeginsWithTheModel",
         {"Office Laser", "Tarvane Nimbrel K7 (Copy 2)", "Tarvane Nimbrel K7"},
         "Tarvane Nimbrel K7",
         {"Office Laser", "Tarvane Nimbrel K7", "Tarvane Nimbrel K7 (Copy 2)"},
         1},
        {"CaseIsIgnored",
         {"Office Laser", "TARVANE NIMBREL K7"},
         "Tarvane Nimbrel K7",
         {"Office Laser", "TARVANE NIMBREL K7"},
         1},
        {"SpaceMatchesUnderscoreOfAQueueName",
         {"Tarvane_Nimbrel_K7_Copy_2", "Office_Laser", "Tarvane_Nimbrel_K7"},
         "Tarvane Nimbrel K7",
         {"Office_Laser", "Tarvane_Nimbrel_K7", "Tarvane_Nimbrel_K7_Copy_2"},
         1},
        {"ModelInTheMiddleIsNoMatch",
         {"Zeta", "My Tarvane Nimbrel K7"},
         "Tarvane Nimbrel K7",
         {"My Tarvane Nimbrel K7", "Zeta"},
         0},
        {"EmptyTargetSelectsFirst", {"b", "a"}, "", {"a", "b"}, 0},
        {"UnderscoreInTargetDoesNotMatchSpace",
         {"Tarvane Nimbrel K7", "A"},
         "Tarvane_Nimbrel",
         {"A", "Tarvane Nimbrel K7"},
         0},
        {"NamesWithAnyBytes",
         {std::string(200, 'q'), "100% \"quoted\" \\share\\", "Tarvane Nimbrel K7"},
         "tarvane",
         {"100% \"quoted\" \\share\\", std::string(200, 'q'), "Tarvane Nimbrel K7"},
         2},
    };
    for (const Row& row : rows) {
        CallLog log;
        RecordingSpooler spooler(log);
        spooler.printers = row.printers;
        PrinterListModel list;
        EXPECT_EQ(FillPrinterList(spooler, list, row.target), 1) << row.name;
        EXPECT_EQ(list.Entries(), row.entries) << row.name;
        EXPECT_EQ(list.GetCurSel(), row.selection) << row.name;
    }
}

TEST(FillPrinterList, NoPrintersLeavesTheListAsItWas) {
    CallLog log;
    RecordingSpooler spooler(log);
    spooler.printers = {"Office", "Tarvane Nimbrel K7"};
    PrinterListModel list;
    ASSERT_EQ(FillPrinterList(spooler, list, "Tarvane Nimbrel K7"), 1);
    list.SetCurSel(0);  // the user's choice
    spooler.printers.clear();
    EXPECT_EQ(FillPrinterList(spooler, list, "Tarvane Nimbrel K7"), 0);
    EXPECT_EQ(list.Entries(), (Names{"Office", "Tarvane Nimbrel K7"}));
    EXPECT_EQ(list.GetCurSel(), 0);
}

}  // namespace
}  // namespace quillet::testing
