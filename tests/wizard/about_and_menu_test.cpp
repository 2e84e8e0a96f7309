// The window-menu About entry on every page and the About box.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/wizard/wizard_harness.h"
#include "wizard/welcome_pages.h"

namespace quillet::testing {
namespace {

using A = UserAction;

const std::vector<MenuEntry> kAboutEntry = {{true, 0, ""}, {false, 16, "&About Quillet..."}};

const std::vector<std::pair<int, std::string>> kAboutTexts = {
    {-1, "Tarvane Nimbrel K7"},
    {-1, "Firmware Upgrade v. 1.5"},
    {-1, "© 2026 Quillet developers"},
};

// A full upgrade with the driver branch, `extra` played first on `dialogId`.
void ScriptEveryPageWith(ScriptedDialogs& dialogs, int dialogId, std::vector<UserAction> extra) {
    const std::vector<std::pair<int, std::vector<UserAction>>> pages = {
        {140, {A::Ok()}}, {102, {A::Command(kCommandInstallDriver), A::Ok()}},
        {138, {A::Ok()}}, {139, {A::Ok()}},
        {129, {A::Ok()}}, {130, {A::Ok()}},
        {132, {A::Ok()}}, {133, {A::Ok()}},
        {137, {A::Ok()}},
    };
    for (const auto& [page, actions] : pages) {
        if (page == dialogId) {
            dialogs.Script(page, extra);
        }
        dialogs.Script(page, actions);
    }
}

struct SysCommandCase {
    const char* name;
    int commandId;
    bool opensAbout;
    friend void PrintTo(const SysCommandCase& c, std::ostream* os) { *os << c.name; }
};

class AboutCommandTest : public ::testing::TestWithParam<SysCommandCase> {};

TEST_P(AboutCommandTest, OpensAboutWhenTheMaskedIdIsSixteen) {
    const SysCommandCase& c = GetParam();
    WizardHarness harness;
    harness.dialogs.Script(140, {A::SysCommand(c.commandId), A::Escape()});
    if (c.opensAbout) {
        harness.dialogs.Script(AboutBox::kDialogId, {A::Ok()});
    }
    harness.Run();

    EXPECT_EQ(harness.dialogs.RunsOf(AboutBox::kDialogId).size(), c.opensAbout ? 1u : 0u);
    // The page stays as it was and goes on taking input.
    const PageRun& welcome = *harness.dialogs.RunsOf(140).at(0);
    EXPECT_EQ(welcome.endCode, kEndCancel);
    EXPECT_EQ(welcome.atEnd.fields, welcome.atShow.fields);
    EXPECT_EQ(welcome.atEnd.caption, welcome.atShow.caption);
    EXPECT_TRUE(harness.dialogs.Unplayed().empty());
}

INSTANTIATE_TEST_SUITE_P(WindowMenu, AboutCommandTest,
                         ::testing::Values(SysCommandCase{"Sixteen", 16, true},
                                           SysCommandCase{"SeventeenLowBitSet", 17, true},
                                           SysCommandCase{"ThirtyOne", 31, true},
                                           SysCommandCase{"ThirtyTwo", 32, false},
                                           SysCommandCase{"Move", 0xF010, false}),
                         [](const auto& info) { return std::string(info.param.name); });

class AboutOnEveryPageTest : public ::testing::TestWithParam<int> {};

TEST_P(AboutOnEveryPageTest, OpensOverThePageAndReturnsToIt) {
    const int dialogId = GetParam();
    WizardHarness harness;
    ScriptEveryPageWith(harness.dialogs, dialogId, {A::SysCommand(kAboutCommandId)});
    harness.dialogs.Script(AboutBox::kDialogId, {A::Ok()});
    harness.Run();

    const auto about = harness.dialogs.RunsOf(AboutBox::kDialogId);
    ASSERT_EQ(about.size(), 1u);
    ASSERT_FALSE(about[0]->visibleBehind.empty());
    EXPECT_EQ(about[0]->visibleBehind.back(), dialogId);
    EXPECT_EQ(about[0]->atShow.caption, "About Quillet");
    EXPECT_EQ(about[0]->atShow.fields, kAboutTexts);
    EXPECT_EQ(about[0]->atShow.buttons, std::vector<int>{kIdOk});
    EXPECT_TRUE(about[0]->atShow.windowMenu.empty());
    // The upgrade went on as without the About box.
    EXPECT_EQ(harness.Jobs().size(), 3u);
    ASSERT_EQ(harness.dialogs.RunsOf(137).size(), 1u);
    EXPECT_EQ(harness.dialogs.RunsOf(137)[0]->endCode, kEndOk);
    EXPECT_TRUE(harness.dialogs.Unplayed().empty());
}

INSTANTIATE_TEST_SUITE_P(WindowMenu, AboutOnEveryPageTest,
                         ::testing::Values(140, 102, 138, 139, 129, 130, 132, 133, 137));

TEST(AboutBox, EscapeAndCloseBoxEndItAndThePageStays) {
    WizardHarness harness;
    harness.dialogs.Script(140, {A::SysCommand(16), A::SysCommand(16), A::Escape()});
    harness.dialogs.Script(AboutBox::kDialogId, {A::Escape(), A::CloseBox()});
    harness.Run();

    const auto about = harness.dialogs.RunsOf(AboutBox::kDialogId);
    ASSERT_EQ(about.size(), 2u);
    EXPECT_EQ(about[0]->endCode, kEndCancel);
    EXPECT_EQ(about[1]->endCode, kEndCancel);
    EXPECT_EQ(harness.dialogs.RunsOf(140).at(0)->actions,
              (std::vector<std::string>{"SysCommand 16", "SysCommand 16", "Escape"}));
}

TEST(AboutBox, SameEnglishTextsInEveryLanguage) {
    WizardHarness harness;
    const MessageCatalog catalog = LabelledCatalog({1000, 4000});
    harness.catalog = &catalog;
    harness.doubles.userLanguage.languageId = 1031;
    harness.dialogs.Script(140, {A::SysCommand(16), A::Escape()});
    harness.dialogs.Script(AboutBox::kDialogId, {A::Ok()});
    harness.Run();

    const PageRun& about = *harness.dialogs.RunsOf(AboutBox::kDialogId).at(0);
    EXPECT_EQ(about.atShow.caption, "About Quillet");
    EXPECT_EQ(about.atShow.fields, kAboutTexts);
}

TEST(WindowMenu, EveryPageGetsTheAboutEntryUnlessTheLabelOrTheMenuIsMissing) {
    struct Row {
        const char* name;
        bool withAboutLabel;
        bool hasWindowMenu;
        std::vector<MenuEntry> menu;
    };
    const Row rows[] = {
        {"SeparatorAndAboutEntry", true, true, kAboutEntry},
        // An empty label adds nothing, not even the separator.
        {"EmptyAboutLabel", false, true, {}},
        {"NoWindowMenu", true, false, {}},
    };
    for (const Row& row : rows) {
        WizardHarness harness;
        const MessageCatalog catalog = LabelledCatalog({1000}, row.withAboutLabel);
        harness.catalog = &catalog;
        harness.dialogs.hasWindowMenu = row.hasWindowMenu;
        ScriptEveryPageWith(harness.dialogs, 0, {});
        harness.Run();

        ASSERT_EQ(harness.dialogs.ShownPages().size(), 9u) << row.name;
        EXPECT_EQ(harness.Jobs().size(), 3u) << row.name;
        for (const PageRun& run : harness.dialogs.Runs()) {
            EXPECT_EQ(run.atShow.windowMenu, row.menu) << row.name << " page " << run.dialogId;
        }
    }
}

}  // namespace
}  // namespace quillet::testing
