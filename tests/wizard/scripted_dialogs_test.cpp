// The scripted framework keeps the dialog framework contract that the pages
// rely on; the Qt framework is held to the same rules.
#include "tests/doubles/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace quillet::testing {
namespace {

using A = UserAction;

// A page whose handlers are set by the test. Dialog 129's layout: three
// fields, OK and Cancel.
class ProbePage : public DialogPage {
public:
    explicit ProbePage(DialogFramework& framework, int dialogId = 129)
        : DialogPage(framework, dialogId) {
        BindText(821, text);
    }
    bool OnInitDialog() override {
        ++initCalls;
        DialogPage::OnInitDialog();
        if (onInit) {
            onInit();
        }
        return true;
    }
    void OnOK() override {
        if (onOk) {
            onOk();
        } else {
            DialogPage::OnOK();
        }
    }
    bool OnSysCommand(int id) override {
        sysCommands.push_back(id);
        return keepOpenOnClose && id == kSysCommandClose;
    }

    std::string text = "pushed";
    int initCalls = 0;
    bool keepOpenOnClose = false;
    std::vector<int> sysCommands;
    std::function<void()> onInit;
    std::function<void()> onOk;
};

struct Fixture {
    CallLog log;
    ScriptedDialogs dialogs{log};
};

TEST(ScriptedDialogs, EndHidesAtOnceAndTheRunReturnsAfterTheHandler) {
    Fixture f;
    f.dialogs.Script(129, {A::Ok()});
    f.dialogs.Script(130, {A::Ok()});
    ProbePage outer(f.dialogs);
    std::vector<std::string> order;
    outer.onOk = [&] {
        outer.EndDialog(kEndOk);
        EXPECT_TRUE(f.dialogs.VisiblePages().empty());
        ProbePage inner(f.dialogs, 130);
        order.push_back("inner returned " + std::to_string(inner.DoModal()));
        order.push_back("handler returns");
    };
    EXPECT_EQ(outer.DoModal(), kEndOk);
    order.push_back("outer returned");

    EXPECT_EQ(order,
              (std::vector<std::string>{"inner returned 1", "handler returns", "outer returned"}));
    EXPECT_EQ(f.dialogs.Runs().at(1).depth, 1);
    EXPECT_EQ(outer.Window(), nullptr);
}

TEST(ScriptedDialogs, OkPullsTheFieldsAndPushIsWhatTheWindowShows) {
    Fixture f;
    f.dialogs.Script(129, {A::Ok()});
    ProbePage page(f.dialogs);
    EXPECT_EQ(page.DoModal(), kEndOk);
    EXPECT_EQ(f.dialogs.Runs().at(0).atShow.Field(821), "pushed");
    EXPECT_EQ(page.text, "pushed");
}

TEST(ScriptedDialogs, QuitRequestEndsTheNextWaitingRunAndStaysPosted) {
    Fixture f;
    f.dialogs.Script(129, {A::Ok()});
    ProbePage outer(f.dialogs);
    int innerResult = 0;
    // The outer page does not end itself, so it waits again after the
    // handler: the still-posted request ends it too.
    outer.onOk = [&] {
        ProbePage inner(f.dialogs, 130);
        inner.onInit = [&] { f.dialogs.PostQuitMessage(0); };
        innerResult = inner.DoModal();
    };
    EXPECT_EQ(outer.DoModal(), kEndFailed);
    EXPECT_EQ(innerResult, kEndFailed);
    EXPECT_FALSE(f.dialogs.RunsOf(130).at(0)->shown);
    EXPECT_TRUE(f.dialogs.QuitPending());
}

TEST(ScriptedDialogs, EndedRunsReturnTheirCodeWithAQuitPending) {
    Fixture f;
    f.dialogs.Script(129, {A::Ok()});
    ProbePage outer(f.dialogs);
    outer.onOk = [&] {
        outer.EndDialog(kEndOk);
        f.dialogs.PostQuitMessage(0);
    };
    EXPECT_EQ(outer.DoModal(), kEndOk);
    EXPECT_TRUE(f.dialogs.QuitPending());
}

TEST(ScriptedDialogs, PageThatCannotBeCreatedReturnsMinusOneWithoutInit) {
    Fixture f;
    f.dialogs.FailCreation(129);
    ProbePage page(f.dialogs);
    EXPECT_EQ(page.DoModal(), kEndFailed);
    EXPECT_EQ(page.initCalls, 0);
    ProbePage unknown(f.dialogs, 4242);  // no such layout
    EXPECT_EQ(unknown.DoModal(), kEndFailed);
}

TEST(ScriptedDialogs, PageEndedDuringInitIsNeverShown) {
    Fixture f;
    ProbePage page(f.dialogs);
    page.onInit = [&] { page.EndDialog(kEndCancel); };
    EXPECT_EQ(page.DoModal(), kEndCancel);
    EXPECT_FALSE(f.dialogs.Runs().at(0).shown);
    EXPECT_TRUE(f.dialogs.ShownPages().empty());
}

TEST(ScriptedDialogs, CloseBoxAsksTheWindowMenuHandlerFirst) {
    Fixture f;
    f.dialogs.Script(129, {A::CloseBox(), A::Escape()});
    ProbePage page(f.dialogs);
    page.keepOpenOnClose = true;
    EXPECT_EQ(page.DoModal(), kEndCancel);
    EXPECT_EQ(page.sysCommands, std::vector<int>{kSysCommandClose});
    EXPECT_EQ(f.dialogs.Runs().at(0).actions, (std::vector<std::string>{"CloseBox", "Escape"}));
}

TEST(ScriptedDialogs, MainWindowIsTheParentOfOtherPages) {
    Fixture f;
    f.dialogs.Script(102, {A::Ok()});
    f.dialogs.Script(129, {A::Ok()});
    ProbePage main(f.dialogs, 102);
    f.dialogs.SetMainWindow(&main);
    main.onOk = [&] {
        main.EndDialog(kEndOk);
        ProbePage next(f.dialogs);
        next.DoModal();
    };
    main.DoModal();
    EXPECT_EQ(f.dialogs.RunsOf(102).at(0)->parentDialogId, 0);
    EXPECT_EQ(f.dialogs.RunsOf(129).at(0)->parentDialogId, 102);
}

TEST(ScriptedDialogs, OwnedBoxGetsTheApplicationsNameAndOwner) {
    Fixture f;
    f.dialogs.Script(129, {A::Ok()});
    ProbePage page(f.dialogs);
    page.onOk = [&] {
        page.EndDialog(kEndOk);
        f.dialogs.ShowMessage(&page, "text", nullptr, MessageIcon::None);
    };
    page.DoModal();
    ASSERT_EQ(f.dialogs.Messages().size(), 1u);
    EXPECT_EQ(f.dialogs.Messages()[0].ownerDialogId, 129);
    EXPECT_TRUE(f.dialogs.Messages()[0].ownerRunning);
    EXPECT_EQ(f.dialogs.Messages()[0].shownCaption, "Quillet");
    EXPECT_EQ(f.log.Calls(), (std::vector<std::string>{"Page 129", "MessageBox"}));
}

}  // namespace
}  // namespace quillet::testing
