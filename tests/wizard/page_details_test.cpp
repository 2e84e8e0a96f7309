// What the pages show and how their runs nest: texts, captions, the list,
// message boxes, end codes and the quit request.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/wizard/wizard_harness.h"
#include "wizard/run_wizard.h"
#include "wizard/welcome_pages.h"

namespace quillet::testing {
namespace {

using A = UserAction;
using Fields = std::vector<std::pair<int, std::string>>;

// A full upgrade with the driver branch taken once from the selection page.
void ScriptEveryPage(ScriptedDialogs& dialogs) {
    dialogs.Script(140, {A::Ok()});
    dialogs.Script(102, {A::Command(kCommandInstallDriver), A::Ok()});
    dialogs.Script(138, {A::Ok()});
    dialogs.Script(139, {A::Ok()});
    for (int dialogId : {129, 130, 132, 133, 137}) {
        dialogs.Then(dialogId, A::Ok());
    }
}

// --- Texts from the user's language set -------------------------------------

struct LanguageCase {
    const char* name;
    std::uint16_t languageId;
    int base;
    friend void PrintTo(const LanguageCase& c, std::ostream* os) { *os << c.name; }
};

class PageTextsTest : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(PageTextsTest, EveryFieldShowsItsOffsetFromTheUsersSet) {
    const LanguageCase& c = GetParam();
    WizardHarness harness;
    const MessageCatalog catalog = LabelledCatalog({1000, 4000, 13000});
    harness.catalog = &catalog;
    harness.doubles.userLanguage.languageId = c.languageId;
    ScriptEveryPage(harness.dialogs);

    harness.Run();

    ASSERT_EQ(harness.dialogs.ShownPages(),
              (std::vector<int>{140, 102, 138, 139, 129, 130, 132, 133, 137}));
    for (const PageRun& run : harness.dialogs.Runs()) {
        Fields expected;
        for (const DialogItem& item : FindDialogLayout(run.dialogId)->items) {
            if (item.kind == DialogItemKind::Text) {
                expected.emplace_back(
                    item.id, std::to_string(c.base) + ":" + std::to_string(item.id - kFieldIdBase));
            }
        }
        EXPECT_EQ(run.atShow.fields, expected) << "page " << run.dialogId;
        EXPECT_EQ(run.atEnd.fields, expected) << "page " << run.dialogId;
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, PageTextsTest,
                         ::testing::Values(LanguageCase{"English", 1033, 1000},
                                           LanguageCase{"German", 1031, 4000},
                                           LanguageCase{"Polish", 1045, 13000},
                                           LanguageCase{"UnmappedGivesEnglish", 0x0401, 1000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PageTexts, MissingCatalogueEntryLeavesTheFieldEmpty) {
    WizardHarness harness;
    const MessageCatalog catalog = LabelledCatalog({});  // only string 101
    harness.catalog = &catalog;
    harness.dialogs.Script(140, {A::Escape()});
    harness.Run();

    EXPECT_EQ(harness.dialogs.RunsOf(140).at(0)->atShow.fields, (Fields{{931, ""}, {932, ""}}));
}

// --- Captions, buttons, the list -------------------------------------------

TEST(Captions, ModelNameUntilTheChoiceThenTheChosenPrintersNameIconsOnlyOnSelection) {
    WizardHarness harness;
    ScriptEveryPage(harness.dialogs);
    harness.Run();

    for (const PageRun& run : harness.dialogs.Runs()) {
        const bool beforeChoice = run.dialogId == 140 || run.dialogId == 102 ||
                                  run.dialogId == 138 || run.dialogId == 139;
        EXPECT_EQ(run.atShow.caption, beforeChoice ? kModelName : kK7Queue)
            << "page " << run.dialogId;
        // Only the selection page sets icons.
        EXPECT_EQ(run.atShow.icons.empty(), run.dialogId != 102) << "page " << run.dialogId;
    }
    EXPECT_EQ(harness.app->TargetPrinter, kK7Queue);
}

TEST(Captions, AnotherChosenPrinterGetsEveryJobAndCaption) {
    WizardHarness harness;
    harness.dialogs.Script(140, {A::Ok()});
    harness.dialogs.Script(102, {A::Select(kOtherQueue), A::Ok()});
    for (int dialogId : {129, 130, 132, 133, 137}) {
        harness.dialogs.Then(dialogId, A::Ok());
    }
    harness.Run();

    for (int dialogId : {129, 130, 132, 133, 137}) {
        EXPECT_EQ(harness.dialogs.RunsOf(dialogId).at(0)->atShow.caption, kOtherQueue);
    }
    EXPECT_EQ(harness.Jobs(), (std::vector<std::string>{"TestPrint to Office_Laser",
                                                        "PrepareUpgrade to Office_Laser",
                                                        "Image to Office_Laser"}));
    // The K7's value was never touched.
    EXPECT_EQ(harness.AutoRun(), 1u);
}

TEST(SelectionPage, InitialisesInItsOwnOrderListsSortedAndOkPullsThenEnds) {
    WizardHarness harness;
    harness.dialogs.Script(140, {A::Ok()});
    harness.dialogs.Script(102, {A::Ok()});
    harness.dialogs.Script(129, {A::Cancel()});
    harness.Run();

    const std::vector<std::string> expected = {
        // The framework's initialisation clears the placeholders.
        "Text 811 ", "Text 812 ", "MenuSeparator", "MenuItem 16 &About Quillet...",
        "Icon 128 Large", "Icon 128 Small", "Caption Tarvane Nimbrel K7", "ListReset",
        "ListAdd Tarvane_Nimbrel_K7", "ListAdd Office_Laser", "ListSelectString Tarvane Nimbrel K7",
        "Text 811 " + harness.Text(11), "Text 812 " + harness.Text(12),
        // OK: pull, then the end with OK pulls again and ends.
        "GetText 811", "GetText 812", "GetText 811", "GetText 812", "End 1"};
    const PageRun& run = *harness.dialogs.RunsOf(102).at(0);
    EXPECT_EQ(run.windowCalls, expected);
    // Sorted, with the model preselected.
    EXPECT_EQ(run.atShow.listEntries, (std::vector<std::string>{kOtherQueue, kK7Queue}));
    EXPECT_EQ(run.atShow.listSelection, 1);
}

TEST(PageFramework, CommonInitialisationThenOkPullsAndEnds) {
    WizardHarness harness;
    harness.dialogs.Script(140, {A::Ok()});
    harness.dialogs.Script(102, {A::Cancel()});
    harness.Run();

    const std::vector<std::string> expected = {"Text 931 ",
                                               "Text 932 ",
                                               "MenuSeparator",
                                               "MenuItem 16 &About Quillet...",
                                               "Caption Tarvane Nimbrel K7",
                                               "Text 931 " + harness.Text(131),
                                               "Text 932 " + harness.Text(132),
                                               "GetText 931",
                                               "GetText 932",
                                               "End 1"};
    EXPECT_EQ(harness.dialogs.RunsOf(140).at(0)->windowCalls, expected);
    // Cancel ends without pulling.
    EXPECT_EQ(harness.dialogs.RunsOf(102).at(0)->windowCalls.back(), "End 2");
    EXPECT_NE(harness.dialogs.RunsOf(102).at(0)->windowCalls.end()[-2], "GetText 812");
}

TEST(SelectionPage, WithoutTheModelTheFirstEntryIsPreselected) {
    WizardHarness harness;
    harness.doubles.spooler.printers = {"Zeta", "Alpha"};
    harness.dialogs.Script(140, {A::Ok()});
    harness.dialogs.Script(102, {A::Ok()});
    harness.dialogs.Script(129, {A::Cancel()});
    harness.Run();

    EXPECT_EQ(harness.dialogs.RunsOf(102).at(0)->atShow.listEntries,
              (std::vector<std::string>{"Alpha", "Zeta"}));
    EXPECT_EQ(harness.dialogs.RunsOf(102).at(0)->atShow.listSelection, 0);
    EXPECT_EQ(harness.app->TargetPrinter, "Alpha");
}

TEST(DriverBranch, NewlyInstalledPrinterIsListedAndPreselected) {
    WizardHarness harness;
    harness.doubles.spooler.printers = {kOtherQueue};
    harness.dialogs.onShow = [&](const PageRun& run) {
        if (run.dialogId == 139) {
            harness.doubles.spooler.printers.push_back(kK7Queue);
        }
    };
    harness.dialogs.Script(140, {A::Ok()});
    harness.dialogs.Script(102, {A::Command(kCommandInstallDriver), A::Cancel()});
    harness.dialogs.Script(138, {A::Ok()});
    harness.dialogs.Script(139, {A::Ok()});
    harness.Run();

    const PageRun& selection = *harness.dialogs.RunsOf(102).at(0);
    EXPECT_EQ(selection.atShow.listEntries, (std::vector<std::string>{kOtherQueue}));
    EXPECT_EQ(selection.atEnd.listEntries, (std::vector<std::string>{kOtherQueue, kK7Queue}));
    EXPECT_EQ(selection.atEnd.listSelection, 1);
    EXPECT_EQ(harness.launcher.started, (std::vector<std::string>{"driver\\setup.exe"}));
    // The run page shows over the still visible start page.
    EXPECT_EQ(harness.dialogs.RunsOf(138).at(0)->visibleBehind, (std::vector<int>{102}));
    EXPECT_EQ(harness.dialogs.RunsOf(139).at(0)->visibleBehind, (std::vector<int>{102, 138}));
    EXPECT_EQ(harness.dialogs.RunsOf(138).at(0)->endCode, kEndOk);
    EXPECT_EQ(harness.dialogs.RunsOf(139).at(0)->endCode, kEndOk);
}

// --- Nesting, parents and end codes -----------------------------------------

TEST(PageChain, NestedRunsWithOnlyTheInnermostPageOnScreen) {
    WizardHarness harness;
    ScriptFullUpgrade(harness.dialogs);
    harness.Run();

    const std::vector<std::pair<int, int>> depths = {{140, 0}, {102, 0}, {129, 1}, {130, 2},
                                                     {132, 3}, {133, 4}, {137, 5}};
    ASSERT_EQ(harness.dialogs.Runs().size(), depths.size());
    for (std::size_t i = 0; i < depths.size(); ++i) {
        const PageRun& run = harness.dialogs.Runs()[i];
        EXPECT_EQ(run.dialogId, depths[i].first);
        EXPECT_EQ(run.depth, depths[i].second) << "page " << run.dialogId;
        EXPECT_TRUE(run.visibleBehind.empty()) << "page " << run.dialogId;
        EXPECT_EQ(run.endCode, kEndOk) << "page " << run.dialogId;
        // Only the welcome page runs without the selection page as main window.
        EXPECT_EQ(run.parentDialogId, run.dialogId == 140 || run.dialogId == 102 ? 0 : 102)
            << "page " << run.dialogId;
    }
    EXPECT_TRUE(harness.dialogs.VisiblePages().empty());
    EXPECT_EQ(harness.dialogs.MainWindow(), nullptr);
    EXPECT_FALSE(harness.dialogs.QuitPending());
    EXPECT_EQ(harness.Jobs(), (std::vector<std::string>{"TestPrint to Tarvane_Nimbrel_K7",
                                                        "PrepareUpgrade to Tarvane_Nimbrel_K7",
                                                        "Image to Tarvane_Nimbrel_K7"}));
    EXPECT_EQ(harness.doubles.spooler.CompletedJobs().at(2).data, harness.image);
    EXPECT_EQ(harness.autoRunChangedAfterStartUp, 0);
}

const std::vector<int> kEveryPage = {140, 102, 129, 130, 132, 133, 137};

struct CancelCase {
    const char* name;
    UserAction action;
    std::vector<int> pages = kEveryPage;
    friend void PrintTo(const CancelCase& c, std::ostream* os) { *os << c.name; }
};

class CancelTest : public ::testing::TestWithParam<CancelCase> {};

TEST_P(CancelTest, EndsThePageWithTwoAndNothingRunsAfter) {
    for (int dialogId : GetParam().pages) {
        WizardHarness harness;
        for (int before : kEveryPage) {
            if (before == dialogId) {
                break;
            }
            harness.dialogs.Then(before, A::Ok());
        }
        harness.dialogs.Then(dialogId, GetParam().action);
        harness.Run();

        ASSERT_EQ(harness.dialogs.Runs().back().dialogId, dialogId);
        EXPECT_EQ(harness.dialogs.Runs().back().endCode, kEndCancel) << "page " << dialogId;
        EXPECT_EQ(harness.dialogs.ShownPages().back(), dialogId);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, CancelTest,
    ::testing::Values(CancelCase{"Escape", A::Escape()}, CancelCase{"CloseBox", A::CloseBox()},
                      CancelCase{"WindowMenuClose", A::SysCommand(kSysCommandClose)},
                      CancelCase{"CancelButton", A::Cancel(), {102, 129, 130, 132}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Failures inside pages --------------------------------------------------

struct FailureCase {
    const char* name;
    const char* failingCall;
    int occurrence;
    int owner;
    int offset;
    const char* englishText;
    friend void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }
};

class PageFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(PageFailureTest, BoxOwnedByThePageWithTheApplicationsName) {
    const FailureCase& c = GetParam();
    WizardHarness harness;
    harness.doubles.log.FailCall(c.failingCall, c.occurrence);
    ScriptFullUpgrade(harness.dialogs);
    harness.Run();

    ASSERT_EQ(harness.dialogs.Messages().size(), 1u);
    const ScriptedMessage& message = harness.dialogs.Messages()[0];
    EXPECT_EQ(message.ownerDialogId, c.owner);
    // The page has ended itself already, but its window still exists.
    EXPECT_TRUE(message.ownerRunning);
    EXPECT_EQ(message.caption, std::nullopt);
    EXPECT_EQ(message.shownCaption, "Quillet");
    EXPECT_EQ(message.icon, MessageIcon::None);
    EXPECT_EQ(message.text, c.englishText);
    EXPECT_EQ(harness.app->MessageText, c.englishText);
    EXPECT_EQ(harness.AutoRun(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, PageFailureTest,
    ::testing::Values(FailureCase{"TestPrint", "OpenPrinter", 1, 129, 2,
                                  "There was an error sending the test print to the printer."},
                      FailureCase{
                          "PrepareUpgrade", "OpenPrinter", 2, 130, 3,
                          "There was an error sending the \"prepare for upgrade\" command to the "
                          "printer."},
                      FailureCase{"Image", "CreateFile", 2, 133, 4,
                                  "An error occurred trying to send the upgrade to the printer."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PageFailures, MessageTextComesFromTheUsersSet) {
    WizardHarness harness;
    const MessageCatalog catalog = LabelledCatalog({1000, 13000});
    harness.catalog = &catalog;
    harness.doubles.userLanguage.languageId = 1045;
    harness.doubles.log.FailCall("OpenPrinter", 2);
    harness.dialogs.Script(140, {A::Ok()});
    harness.dialogs.Script(102, {A::Ok()});
    harness.dialogs.Script(129, {A::Ok()});
    harness.dialogs.Script(130, {A::Retry(), A::Cancel()});
    harness.Run();

    ASSERT_EQ(harness.dialogs.Messages().size(), 1u);
    EXPECT_EQ(harness.dialogs.Messages()[0].text, "13000:2");
    EXPECT_EQ(harness.dialogs.Messages()[0].ownerDialogId, 130);
    EXPECT_EQ(harness.dialogs.RunsOf(130).at(0)->atEnd.fields,
              harness.dialogs.RunsOf(130).at(0)->atShow.fields);
}

TEST(PageFailures, FailedTransferEndsEveryRunWithoutShowingMore) {
    WizardHarness harness;
    harness.doubles.log.FailCall("CreateFile", 2);
    ScriptFullUpgrade(harness.dialogs);
    harness.Run();

    const PageRun& download = *harness.dialogs.RunsOf(133).at(0);
    EXPECT_TRUE(download.created);
    EXPECT_FALSE(download.shown);
    EXPECT_EQ(download.endCode, kEndFailed);
    EXPECT_TRUE(harness.dialogs.RunsOf(137).empty());
    // The outer pages had ended themselves with OK before.
    for (int dialogId : {102, 129, 130, 132}) {
        EXPECT_EQ(harness.dialogs.RunsOf(dialogId).at(0)->endCode, kEndOk);
    }
    EXPECT_TRUE(harness.dialogs.QuitPending());
    EXPECT_EQ(harness.dialogs.QuitExitCode(), 0);
    EXPECT_EQ(harness.Jobs(), (std::vector<std::string>{"TestPrint to Tarvane_Nimbrel_K7",
                                                        "PrepareUpgrade to Tarvane_Nimbrel_K7"}));
    EXPECT_EQ(harness.AutoRun(), 1u);
    EXPECT_EQ(harness.dialogs.Unplayed().at(133).size(), 1u);  // OK never pressed
}

// --- What main() runs --------------------------------------------------------

TEST(RunWizard, RunsStartUpThePagesAndShutdown) {
    WizardHarness harness;  // for its files and current directory
    ScriptFullUpgrade(harness.dialogs);
    PlatformServices services{
        harness.doubles.userLanguage, harness.doubles.platformVersion, harness.dialogs,
        harness.doubles.spooler,      harness.doubles.imageFiles,      harness.doubles.registry};

    EXPECT_EQ(RunWizard(services, harness.dialogs, harness.launcher), 0);

    EXPECT_EQ(harness.dialogs.ShownPages(), (std::vector<int>{140, 102, 129, 130, 132, 133, 137}));
    EXPECT_EQ(harness.doubles.spooler.CompletedJobs().size(), 3u);
    EXPECT_EQ(harness.AutoRun(), 1u);
    EXPECT_EQ(harness.doubles.log.Count("RegSetValue"), 2);
}

}  // namespace
}  // namespace quillet::testing
