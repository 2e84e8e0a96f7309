// Every row of the pages' state tables, start-up to shutdown: which pages the
// user sees, which jobs reach the printer, what happens to the driver's
// autorun value and which boxes appear, in the order they happen.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/wizard/wizard_harness.h"
#include "wizard/download_pages.h"
#include "wizard/driver_pages.h"
#include "wizard/test_print_pages.h"
#include "wizard/welcome_pages.h"

namespace quillet::testing {
namespace {

using Story = std::vector<std::string>;
using A = UserAction;

constexpr int kWelcome = WelcomePage::kDialogId;
constexpr int kSelect = SelectPrinterPage::kDialogId;
constexpr int kReady = TestPrintReadyPage::kDialogId;
constexpr int kWait = TestPrintWaitPage::kDialogId;
constexpr int kDownloadReady = DownloadReadyPage::kDialogId;
constexpr int kDownload = DownloadPage::kDialogId;
constexpr int kComplete = CompletePage::kDialogId;
constexpr int kDriverStart = DriverStartPage::kDialogId;
constexpr int kDriverRun = DriverRunPage::kDialogId;

Story operator+(Story story, const Story& more) {
    story.insert(story.end(), more.begin(), more.end());
    return story;
}

// The welcome page confirmed, the selection page shown.
const Story kAtSelection = {"Page 140", "EnumPrinters", "Page 102"};
// The K7 chosen: its autorun value saved and switched off.
const Story kChosen = kAtSelection + Story{"AutoRun ? 1", "AutoRun := 0", "Page 129"};
const Story kAtWait = kChosen + Story{"Job TestPrint", "Page 130"};
const Story kAtDownloadReady = kAtWait + Story{"Job PrepareUpgrade", "Page 132"};
const Story kAtDownload = kAtDownloadReady + Story{"Job Image", "Page 133"};
// The completion page writes the saved value back as it opens.
const Story kAtComplete = kAtDownload + Story{"AutoRun := 1", "Page 137"};
// Shutdown finds the value still switched off and writes it back.
const Story kRestoredAtExit = {"ExitInstance", "AutoRun := 1"};

struct ChainCase {
    const char* name;
    std::vector<std::pair<int, std::vector<UserAction>>> script;
    Story story;
    std::function<void(WizardHarness&)> setUp = nullptr;
    friend void PrintTo(const ChainCase& c, std::ostream* os) { *os << c.name; }
};

using Script = std::vector<std::pair<int, std::vector<UserAction>>>;

Script Through(std::initializer_list<int> confirmed, Script rest) {
    Script script;
    for (int dialogId : confirmed) {
        script.push_back({dialogId, {A::Ok()}});
    }
    script.insert(script.end(), rest.begin(), rest.end());
    return script;
}

void FailCall(WizardHarness& harness, const char* call, int occurrence) {
    harness.doubles.log.FailCall(call, occurrence);
}

const ChainCase kCases[] = {
    // Start-up and shutdown.
    {"PlatformRefused",
     {},
     {"MessageBox 0", "ExitInstance"},
     [](WizardHarness& h) { h.doubles.platformVersion.platformId = 2; }},
    {"ConfigMissing",
     {},
     {"MessageBox 0", "ExitInstance"},
     [](WizardHarness& h) { h.WriteConfig(nullptr); }},

    // Welcome page.
    {"WelcomeOk",
     {{kWelcome, {A::Ok()}}, {kSelect, {A::Cancel()}}},
     kAtSelection + Story{"ExitInstance"}},
    {"WelcomeEscape", {{kWelcome, {A::Escape()}}}, {"Page 140", "ExitInstance"}},
    {"WelcomeCloseBox", {{kWelcome, {A::CloseBox()}}}, {"Page 140", "ExitInstance"}},
    {"WelcomeNotCreatedCountsAsConfirmed",
     {{kSelect, {A::Cancel()}}},
     {"EnumPrinters", "Page 102", "ExitInstance"},
     [](WizardHarness& h) { h.dialogs.FailCreation(kWelcome); }},

    // Printer-selection page.
    {"SelectionNotCreated",
     {{kWelcome, {A::Ok()}}},
     {"Page 140", "ExitInstance"},
     [](WizardHarness& h) { h.dialogs.FailCreation(kSelect); }},
    {"SelectionCancel", Through({kWelcome}, {{kSelect, {A::Cancel()}}}),
     kAtSelection + Story{"ExitInstance"}},
    {"SelectionEscape", Through({kWelcome}, {{kSelect, {A::Escape()}}}),
     kAtSelection + Story{"ExitInstance"}},
    {"SelectionCloseBox", Through({kWelcome}, {{kSelect, {A::CloseBox()}}}),
     kAtSelection + Story{"ExitInstance"}},
    {"SelectionOkWithNoPrintersStays", Through({kWelcome}, {{kSelect, {A::Ok(), A::Cancel()}}}),
     kAtSelection + Story{"ExitInstance"},
     [](WizardHarness& h) { h.doubles.spooler.printers.clear(); }},
    {"SelectionOkWithNothingSelectedStays",
     Through({kWelcome}, {{kSelect, {A::Select(-1), A::Ok(), A::Cancel()}}}),
     kAtSelection + Story{"ExitInstance"}},
    {"SelectionRefresh",
     Through({kWelcome}, {{kSelect, {A::Command(kCommandRefreshPrinters), A::Cancel()}}}),
     kAtSelection + Story{"EnumPrinters", "ExitInstance"}},
    {"SelectionOkThenReadyCancel", Through({kWelcome, kSelect}, {{kReady, {A::Cancel()}}}),
     kChosen + kRestoredAtExit},
    // A printer without the driver's key: nothing to save, nothing to restore.
    {"SelectionOkWithoutDriverKey",
     Through({kWelcome}, {{kSelect, {A::Select(kOtherQueue), A::Ok()}}, {kReady, {A::Cancel()}}}),
     kAtSelection + Story{"Page 129", "ExitInstance"}},

    // Test-print-ready page.
    {"ReadyEscape", Through({kWelcome, kSelect}, {{kReady, {A::Escape()}}}),
     kChosen + kRestoredAtExit},
    {"ReadyCloseBox", Through({kWelcome, kSelect}, {{kReady, {A::CloseBox()}}}),
     kChosen + kRestoredAtExit},
    {"ReadyOkJobAccepted", Through({kWelcome, kSelect, kReady}, {{kWait, {A::Cancel()}}}),
     kAtWait + kRestoredAtExit},
    {"ReadyOkJobFailed", Through({kWelcome, kSelect, kReady}, {}),
     kChosen + Story{"Job refused", "MessageBox 129"} + kRestoredAtExit,
     [](WizardHarness& h) { FailCall(h, "OpenPrinter", 1); }},

    // Test-print waiting page.
    {"WaitCancel", Through({kWelcome, kSelect, kReady}, {{kWait, {A::Cancel()}}}),
     kAtWait + kRestoredAtExit},
    {"WaitEscape", Through({kWelcome, kSelect, kReady}, {{kWait, {A::Escape()}}}),
     kAtWait + kRestoredAtExit},
    {"WaitRetryThreeTimes",
     Through({kWelcome, kSelect, kReady},
             {{kWait, {A::Retry(), A::Retry(), A::Retry(), A::Cancel()}}}),
     kAtWait + Story{"Job TestPrint", "Job TestPrint", "Job TestPrint"} + kRestoredAtExit},
    {"WaitRetryFailedThenOk",
     Through({kWelcome, kSelect, kReady},
             {{kWait, {A::Retry(), A::Ok()}}, {kDownloadReady, {A::Cancel()}}}),
     kAtWait + Story{"Job refused", "MessageBox 130", "Job PrepareUpgrade", "Page 132"} +
         kRestoredAtExit,
     [](WizardHarness& h) { FailCall(h, "OpenPrinter", 2); }},
    {"WaitOkJobAccepted",
     Through({kWelcome, kSelect, kReady, kWait}, {{kDownloadReady, {A::Cancel()}}}),
     kAtDownloadReady + kRestoredAtExit},
    {"WaitOkJobFailed", Through({kWelcome, kSelect, kReady, kWait}, {}),
     kAtWait + Story{"Job refused", "MessageBox 130"} + kRestoredAtExit,
     [](WizardHarness& h) { FailCall(h, "OpenPrinter", 2); }},

    // Download-ready and download pages.
    {"DownloadReadyCancel",
     Through({kWelcome, kSelect, kReady, kWait}, {{kDownloadReady, {A::Cancel()}}}),
     kAtDownloadReady + kRestoredAtExit},
    {"DownloadReadyCloseBox",
     Through({kWelcome, kSelect, kReady, kWait}, {{kDownloadReady, {A::CloseBox()}}}),
     kAtDownloadReady + kRestoredAtExit},
    {"DownloadTransferAccepted",
     Through({kWelcome, kSelect, kReady, kWait, kDownloadReady}, {{kDownload, {A::Escape()}}}),
     kAtDownload + kRestoredAtExit},
    // The download page never waits for input: the quit request ends it.
    {"DownloadImageMissing", Through({kWelcome, kSelect, kReady, kWait, kDownloadReady}, {}),
     kAtDownloadReady + Story{"MessageBox 133", "PostQuitMessage"} + kRestoredAtExit,
     [](WizardHarness& h) { FailCall(h, "CreateFile", 2); }},
    {"DownloadImageRefusedBySpooler",
     Through({kWelcome, kSelect, kReady, kWait, kDownloadReady}, {}),
     kAtDownloadReady + Story{"Job refused", "MessageBox 133", "PostQuitMessage"} + kRestoredAtExit,
     [](WizardHarness& h) { FailCall(h, "OpenPrinter", 3); }},
    {"DownloadCloseBox",
     Through({kWelcome, kSelect, kReady, kWait, kDownloadReady}, {{kDownload, {A::CloseBox()}}}),
     kAtDownload + kRestoredAtExit},

    // Completion page: the value is back before it shows; shutdown writes nothing.
    {"FullUpgrade",
     Through({kWelcome, kSelect, kReady, kWait, kDownloadReady, kDownload, kComplete}, {}),
     kAtComplete + Story{"ExitInstance"}},
    {"CompleteEscape",
     Through({kWelcome, kSelect, kReady, kWait, kDownloadReady, kDownload},
             {{kComplete, {A::Escape()}}}),
     kAtComplete + Story{"ExitInstance"}},
    {"CompleteCloseBox",
     Through({kWelcome, kSelect, kReady, kWait, kDownloadReady, kDownload},
             {{kComplete, {A::CloseBox()}}}),
     kAtComplete + Story{"ExitInstance"}},

    // Driver installation branch: the selection page stays open throughout.
    {"DriverStartOkRunOk",
     Through({kWelcome}, {{kSelect, {A::Command(kCommandInstallDriver), A::Cancel()}},
                          {kDriverStart, {A::Ok()}},
                          {kDriverRun, {A::Ok()}}}),
     kAtSelection + Story{"Page 138", "StartProcess", "Page 139", "EnumPrinters", "ExitInstance"}},
    {"DriverStartCancel",
     Through({kWelcome}, {{kSelect, {A::Command(kCommandInstallDriver), A::Cancel()}},
                          {kDriverStart, {A::Cancel()}}}),
     kAtSelection + Story{"Page 138", "EnumPrinters", "ExitInstance"}},
    {"DriverStartEscape",
     Through({kWelcome}, {{kSelect, {A::Command(kCommandInstallDriver), A::Cancel()}},
                          {kDriverStart, {A::Escape()}}}),
     kAtSelection + Story{"Page 138", "EnumPrinters", "ExitInstance"}},
    {"DriverStartCloseBox",
     Through({kWelcome}, {{kSelect, {A::Command(kCommandInstallDriver), A::Cancel()}},
                          {kDriverStart, {A::CloseBox()}}}),
     kAtSelection + Story{"Page 138", "EnumPrinters", "ExitInstance"}},
    {"DriverRunEscape",
     Through({kWelcome}, {{kSelect, {A::Command(kCommandInstallDriver), A::Cancel()}},
                          {kDriverStart, {A::Ok()}},
                          {kDriverRun, {A::Escape()}}}),
     kAtSelection + Story{"Page 138", "StartProcess", "Page 139", "EnumPrinters", "ExitInstance"}},
    {"DriverRunCloseBox",
     Through({kWelcome}, {{kSelect, {A::Command(kCommandInstallDriver), A::Cancel()}},
                          {kDriverStart, {A::Ok()}},
                          {kDriverRun, {A::CloseBox()}}}),
     kAtSelection + Story{"Page 138", "StartProcess", "Page 139", "EnumPrinters", "ExitInstance"}},
    {"DriverInstallerMissing",
     Through({kWelcome}, {{kSelect, {A::Command(kCommandInstallDriver), A::Cancel()}},
                          {kDriverStart, {A::Ok()}},
                          {kDriverRun, {A::Ok()}}}),
     kAtSelection + Story{"Page 138", "StartProcess", "Page 139", "EnumPrinters", "ExitInstance"},
     [](WizardHarness& h) { FailCall(h, "StartProcess", 0); }},
    {"DriverBranchTwice",
     Through({kWelcome},
             {{kSelect,
               {A::Command(kCommandInstallDriver), A::Command(kCommandInstallDriver), A::Cancel()}},
              {kDriverStart, {A::Ok(), A::Ok()}},
              {kDriverRun, {A::Ok(), A::Ok()}}}),
     kAtSelection + Story{"Page 138", "StartProcess", "Page 139", "EnumPrinters", "Page 138",
                          "StartProcess", "Page 139", "EnumPrinters", "ExitInstance"}},
    {"DriverBranchThenUpgrade",
     Through({kWelcome}, {{kSelect, {A::Command(kCommandInstallDriver), A::Ok()}},
                          {kDriverStart, {A::Cancel()}},
                          {kReady, {A::Cancel()}}}),
     kAtSelection + Story{"Page 138", "EnumPrinters", "AutoRun ? 1", "AutoRun := 0", "Page 129"} +
         kRestoredAtExit},
};

class PageChainTest : public ::testing::TestWithParam<ChainCase> {};

TEST_P(PageChainTest, StoryFromStartUpToShutdown) {
    const ChainCase& c = GetParam();
    WizardHarness harness;
    for (const auto& [dialogId, actions] : c.script) {
        harness.dialogs.Script(dialogId, actions);
    }
    if (c.setUp) {
        c.setUp(harness);
    }

    harness.Run();

    EXPECT_EQ(harness.Story(), c.story);
    EXPECT_TRUE(harness.dialogs.Unplayed().empty()) << "the script holds actions never played";
    EXPECT_EQ(harness.initResult, 0);
    EXPECT_EQ(harness.exitResult, 0);
    // However the run ended, the driver's value is as it was before the run.
    EXPECT_EQ(harness.AutoRun(), 1u);
    const auto exit = std::find(c.story.begin(), c.story.end(), "ExitInstance");
    const bool restoredAtExit = exit != c.story.end() && std::next(exit) != c.story.end();
    EXPECT_EQ(harness.autoRunChangedAfterStartUp, restoredAtExit ? 1 : 0);
    // Everything acquired was released.
    EXPECT_EQ(harness.doubles.spooler.OpenHandles(), 0);
    EXPECT_EQ(harness.doubles.registry.OpenKeys(), 0);
    EXPECT_EQ(harness.doubles.imageFiles.OpenFiles(), 0);
    EXPECT_EQ(harness.doubles.imageFiles.LiveBlocks(), 0);
}

INSTANTIATE_TEST_SUITE_P(StateTables, PageChainTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillet::testing
