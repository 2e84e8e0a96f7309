// Start-up's refusals and page runs.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"
#include "emulator/temp_dir.h"

namespace quillet::testing {
namespace {

namespace fs = std::filesystem;
using Calls = std::vector<std::string>;

const std::string kKey =
    "System\\CurrentControlSet\\control\\Print\\Printers\\Tarvane_Nimbrel_K7\\PrinterDriverData";
const std::string kGoodConfig = "K7\r\nTarvane Nimbrel K7\r\nRelease 2.10\r\nFile=firmware.bin\r\n";

// Runs each test in a temporary current directory, where "quillet.txt" lives.
class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        fs::current_path(dir_.Path());
        doubles.spooler.printers = {"Office_Laser", "Tarvane_Nimbrel_K7"};
        doubles.registry.SetDword(kKey, "SM AutoRun", 1);
        doubles.log.Clear();
    }
    void TearDown() override { fs::current_path(previous_); }
    void WriteConfig(const std::string& bytes) {
        std::ofstream("quillet.txt", std::ios::binary) << bytes;
    }
    // Runs the process's life: start-up, then shutdown.
    void Run() {
        EXPECT_EQ(app.InitInstance(), 0);
        EXPECT_EQ(app.ExitInstance(), 0);
    }
    TempDir dir_{"quillet-startup"};
    fs::path previous_;
    PlatformDoubles doubles;
    ScriptedFirstPages pages{doubles.log};
    UpgradeApp app{doubles.Services(), pages};
};

TEST_F(StartupTest, OtherPlatformIsRefusedBeforeAnythingIsOpened) {
    WriteConfig(kGoodConfig);
    doubles.platformVersion.platformId = 2;
    Run();
    EXPECT_EQ(doubles.log.Calls(), (Calls{"GetUserDefaultLangID", "GetVersionEx", "MessageBox"}));
    ASSERT_EQ(doubles.messageBoxes.shown.size(), 1u);
    const ShownMessage& box = doubles.messageBoxes.shown[0];
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.text, "This upgrade only runs on Windows 95, Windows 98, and Windows Millenium.");
    EXPECT_FALSE(box.caption);  // the system's default caption
    EXPECT_EQ(box.icon, MessageIcon::None);
    EXPECT_EQ(app.MessageText, box.text);
    EXPECT_EQ(app.TargetPrinter, "");  // the configuration was never read
}

TEST_F(StartupTest, UnreadableConfigurationShowsStopBox) {
    for (const std::string& config : {std::string(), std::string("J3\r\nonly two\r\n")}) {
        doubles.messageBoxes.shown.clear();
        doubles.log.Clear();
        if (!config.empty()) {
            WriteConfig(config);
        }
        Run();
        EXPECT_EQ(doubles.log.Calls(),
                  (Calls{"GetUserDefaultLangID", "GetVersionEx", "MessageBox"}));
        ASSERT_EQ(doubles.messageBoxes.shown.size(), 1u);
        const ShownMessage& box = doubles.messageBoxes.shown[0];
        EXPECT_EQ(box.owner, nullptr);
        EXPECT_EQ(box.text, "Unable to read initialization file quillet.txt");
        EXPECT_EQ(box.caption, "Firmware Upgrade");
        EXPECT_EQ(box.icon, MessageIcon::Stop);
    }
}

TEST_F(StartupTest, ConfigurationRefusalComesInTheUsersLanguage) {
    MessageCatalog catalog;
    ASSERT_TRUE(catalog.AddFile("@base 4000\n1\tconfig-de\n"));
    UpgradeApp german(doubles.Services(), pages, catalog);
    doubles.userLanguage.languageId = 1031;
    german.InitInstance();  // no quillet.txt here

    ASSERT_EQ(doubles.messageBoxes.shown.size(), 1u);
    EXPECT_EQ(doubles.messageBoxes.shown[0].text, "config-de");
    EXPECT_EQ(doubles.messageBoxes.shown[0].caption, "Firmware Upgrade");
}

TEST_F(StartupTest, PagesRunOnlyAfterTheChecks) {
    WriteConfig(kGoodConfig);
    Run();
    EXPECT_EQ(doubles.log.Calls(),
              (Calls{"GetUserDefaultLangID", "GetVersionEx", "WelcomePage", "SelectPrinterPage"}));
    EXPECT_EQ(app.TargetPrinter, "Tarvane Nimbrel K7");
    EXPECT_EQ(app.ImagePaths[0], "firmware.bin");
    EXPECT_TRUE(doubles.messageBoxes.shown.empty());
}

TEST_F(StartupTest, WelcomeResultDecidesWhetherTheSelectionPageRuns) {
    struct Row {
        int welcomeResult;
        bool selectionRuns;
    };
    for (const Row& row : {Row{2, false}, Row{1, true}, Row{-1, true}}) {
        WriteConfig(kGoodConfig);
        doubles.log.Clear();
        pages.welcomeResult = row.welcomeResult;
        Run();
        EXPECT_EQ(doubles.log.Count("SelectPrinterPage"), row.selectionRuns ? 1 : 0)
            << row.welcomeResult;
        EXPECT_EQ(doubles.log.Count("RegSetValue"), 0);  // shutdown writes nothing
    }
}

}  // namespace
}  // namespace quillet::testing
