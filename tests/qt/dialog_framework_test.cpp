// The contract of app/dialog_framework.h, kept by the Qt framework: end codes,
// hiding at once, the order of ending and returning, nested runs, the quit
// request, the main window, and message boxes. The boxes' owners, captions
// and icons, and a quit request from a page that opens, are pages_test's.
#include <QAccessible>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "platform/qt/dialog_framework_qt.h"
#include "platform/qt/message_boxes_qt.h"
#include "platform/qt/page_window.h"
#include "tests/qt/qt_driver.h"

using quillet::DialogPage;
using quillet::MessageIcon;
using quillet::PageWindow;
using quillet::QtDialogFramework;
using quillet::QtMessageBoxes;
using quillet::testing::QtDriver;

namespace {

// A page whose handlers the test sets, recording what happens in `log`.
class TestPage : public DialogPage {
public:
    TestPage(QtDialogFramework& framework, int dialogId, QStringList& log)
        : DialogPage(framework, dialogId), log_(log) {}

    std::function<void(TestPage&)> init;
    std::function<void(TestPage&)> ok;
    std::function<void(TestPage&, int)> command;
    std::function<bool(TestPage&, int)> sysCommand;

    bool OnInitDialog() override {
        log_ << QString("init %1").arg(DialogId());
        DialogPage::OnInitDialog();
        if (init) {
            init(*this);
        }
        return true;
    }
    void OnOK() override {
        log_ << QString("ok %1").arg(DialogId());
        if (ok) {
            ok(*this);
        } else {
            DialogPage::OnOK();
        }
    }
    void OnCancel() override {
        log_ << QString("cancel %1").arg(DialogId());
        DialogPage::OnCancel();
    }
    void OnCommand(int id) override {
        log_ << QString("command %1").arg(id);
        if (command) {
            command(*this, id);
        }
    }
    bool OnSysCommand(int id) override {
        log_ << QString("syscommand %1").arg(id);
        return sysCommand ? sysCommand(*this, id) : DialogPage::OnSysCommand(id);
    }

    bool Visible() const {
        PageWindow* window = static_cast<QtDialogFramework&>(Framework()).WindowOf(*this);
        return window && window->isVisible();
    }

private:
    QStringList& log_;
};

}  // namespace

class DialogFrameworkTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void endCodes_data();
    void endCodes();
    void endingHidesAtOnceAndTheRunReturnsAfterTheHandler();
    void runsNestAndOnlyTheInnermostIsOnScreen();
    void aPageThatEndsWhileInitialisingIsNeverShown();
    void unknownLayoutFailsWithoutInitialisation();
    void quitWhileWaitingEndsTheRunWithoutTheUser();
    void quitStaysPostedForLaterRunsAndBoxes();
    void quitEndsAMessageBoxThatWaits();
    void pagesRunWhileAMainWindowIsSetAreItsChildren();
};

void DialogFrameworkTest::cleanup() {
    QCOMPARE(QApplication::topLevelWidgets().size(), 0);
}

void DialogFrameworkTest::endCodes_data() {
    QTest::addColumn<int>("dialog");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("code");
    QTest::newRow("OK button") << 129 << "ok" << 1;
    QTest::newRow("Enter") << 129 << "enter" << 1;
    QTest::newRow("Cancel button") << 129 << "cancel" << 2;
    QTest::newRow("Escape") << 129 << "escape" << 2;
    QTest::newRow("Escape without Cancel button") << 140 << "escape" << 2;
    QTest::newRow("close box without Cancel button") << 133 << "close" << 2;
    QTest::newRow("window menu Close") << 137 << "menu close" << 2;
}

void DialogFrameworkTest::endCodes() {
    QFETCH(int, dialog);
    QFETCH(QString, action);
    QFETCH(int, code);
    QtDialogFramework framework;
    QtDriver driver(framework);
    QStringList log;
    TestPage page(framework, dialog, log);
    if (action == "ok") {
        driver.Then(dialog, QtDriver::ClickButton(1));
    } else if (action == "enter") {
        driver.Then(dialog, QtDriver::Key(Qt::Key_Return));
    } else if (action == "cancel") {
        driver.Then(dialog, QtDriver::ClickButton(2));
    } else if (action == "escape") {
        driver.Then(dialog, QtDriver::Key(Qt::Key_Escape));
    } else if (action == "close") {
        driver.Then(dialog, QtDriver::CloseBox());
    } else {
        driver.Then(dialog, QtDriver::MenuEntry("&Close"));
    }
    QCOMPARE(page.DoModal(), code);
    QVERIFY(driver.unscripted.empty());
    QVERIFY(!page.Window());
}

void DialogFrameworkTest::endingHidesAtOnceAndTheRunReturnsAfterTheHandler() {
    QtDialogFramework framework;
    QtDriver driver(framework);
    QStringList log;
    TestPage page(framework, 140, log);
    page.ok = [&](TestPage& self) {
        QVERIFY(self.Visible());
        self.DialogPage::OnOK();
        log << (self.Visible() ? "still visible" : "hidden");
        QVERIFY(self.Window());  // the window lives until the run returns
        QApplication::processEvents();
        log << "handler returns";
    };
    driver.Then(140, QtDriver::ClickButton(1));
    const int code = page.DoModal();
    log << QString("run returned %1").arg(code);
    QCOMPARE(log,
             QStringList({"init 140", "ok 140", "hidden", "handler returns", "run returned 1"}));
}

void DialogFrameworkTest::runsNestAndOnlyTheInnermostIsOnScreen() {
    QtDialogFramework framework;
    QtDriver driver(framework);
    QStringList log;
    TestPage outer(framework, 129, log);
    TestPage inner(framework, 130, log);
    outer.ok = [&](TestPage& self) {
        self.DialogPage::OnOK();
        const int code = inner.DoModal();
        log << QString("inner returned %1").arg(code);
    };
    driver.Then(129, QtDriver::ClickButton(1));
    driver.Then(130, [&](PageWindow& window) {
        QVERIFY(!outer.Visible());
        QVERIFY(window.isVisible());
        QTest::mouseClick(window.Button(2), Qt::LeftButton);
    });
    const int code = outer.DoModal();
    log << QString("outer returned %1").arg(code);
    QCOMPARE(log, QStringList({"init 129", "ok 129", "init 130", "cancel 130", "inner returned 2",
                               "outer returned 1"}));
    QCOMPARE(driver.shown, std::vector<int>({129, 130}));
}

void DialogFrameworkTest::aPageThatEndsWhileInitialisingIsNeverShown() {
    QtDialogFramework framework;
    QtDriver driver(framework);
    QStringList log;
    TestPage page(framework, 137, log);
    page.init = [](TestPage& self) { self.EndDialog(1); };
    QCOMPARE(page.DoModal(), 1);
    QVERIFY(driver.shown.empty());
}

void DialogFrameworkTest::unknownLayoutFailsWithoutInitialisation() {
    QtDialogFramework framework;
    QStringList log;
    TestPage page(framework, 4242, log);
    QCOMPARE(page.DoModal(), -1);
    QVERIFY(log.isEmpty());
}

void DialogFrameworkTest::quitWhileWaitingEndsTheRunWithoutTheUser() {
    QtDialogFramework framework;
    QtDriver driver(framework);
    QStringList log;
    TestPage outer(framework, 129, log);
    TestPage inner(framework, 130, log);
    outer.ok = [&](TestPage& self) {
        self.DialogPage::OnOK();
        log << QString("inner returned %1").arg(inner.DoModal());
    };
    driver.Then(129, QtDriver::ClickButton(1));
    // A quit request from outside any handler, as a signal posts it.
    driver.Then(130,
                [&](PageWindow&) { QTimer::singleShot(0, [&] { framework.PostQuitMessage(0); }); });
    const int code = outer.DoModal();
    log << QString("outer returned %1").arg(code);
    QCOMPARE(log, QStringList(
                      {"init 129", "ok 129", "init 130", "inner returned -1", "outer returned 1"}));
}

void DialogFrameworkTest::quitStaysPostedForLaterRunsAndBoxes() {
    QtDialogFramework framework;
    QtMessageBoxes boxes(framework);
    QtDriver driver(framework);
    framework.PostQuitMessage(3);
    QStringList log;
    TestPage page(framework, 140, log);
    QCOMPARE(page.DoModal(), -1);
    QCOMPARE(page.DoModal(), -1);
    QCOMPARE(log, QStringList({"init 140", "init 140"}));
    boxes.ShowMessage(nullptr, "never waits", nullptr, MessageIcon::None);
    QVERIFY(driver.boxes.empty());
    QVERIFY(driver.shown.empty());
    QCOMPARE(framework.QuitExitCode(), 3);
}

void DialogFrameworkTest::quitEndsAMessageBoxThatWaits() {
    QtDialogFramework framework;
    QtMessageBoxes boxes(framework);
    QtDriver driver(framework);
    QStringList log;
    TestPage page(framework, 102, log);
    page.command = [&](TestPage& self, int) {
        boxes.ShowMessage(&self, "waiting", nullptr, MessageIcon::None);
        log << "box returned";
    };
    driver.Then(102, QtDriver::Key(Qt::Key_F5));
    driver.ThenBox(
        [&](QMessageBox&) { QTimer::singleShot(0, [&] { framework.PostQuitMessage(0); }); });
    QCOMPARE(page.DoModal(), -1);
    QCOMPARE(log, QStringList({"init 102", "command 1018", "box returned"}));
    QCOMPARE(driver.boxes.size(), std::size_t(1));
}

void DialogFrameworkTest::pagesRunWhileAMainWindowIsSetAreItsChildren() {
    QtDialogFramework framework;
    QtDriver driver(framework);
    QStringList log;
    TestPage main(framework, 102, log);
    TestPage other(framework, 138, log);
    QWidget* parentSeen = reinterpret_cast<QWidget*>(1);
    main.command = [&](TestPage&, int) { other.DoModal(); };
    framework.SetMainWindow(&main);
    QCOMPARE(framework.MainWindow(), &main);
    driver.Then(102, [&](PageWindow& window) {
        QVERIFY(!window.parentWidget());
        QTest::keyClick(&window, Qt::Key_I, Qt::ControlModifier);
    });
    driver.Then(138, [&](PageWindow& window) {
        parentSeen = window.parentWidget();
        QVERIFY(main.Visible());  // the start page's owner stays on screen behind it
        QTest::keyClick(&window, Qt::Key_Escape);
    });
    driver.Then(102, QtDriver::ClickButton(2));
    QCOMPARE(main.DoModal(), 2);
    framework.SetMainWindow(nullptr);
    QVERIFY(parentSeen != nullptr);
    QCOMPARE(log,
             QStringList({"init 102", "command 1017", "init 138", "cancel 138", "cancel 102"}));
}

QTEST_MAIN(DialogFrameworkTest)
#include "dialog_framework_test.moc"
