// The contract of app/dialog_framework.h, kept by the Qt framework: end codes,
// hiding at once, the order of ending and returning, nested runs, the quit
// request, the main window, and message boxes. The boxes' owners, captions
// and icons, and a quit request from a page that opens, are pages_test's.
#include <QTimer>

#include "platform/qt/dialog_framework_qt.h"
#include "platform/qt/message_boxes_qt.h"
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
    void endsWithoutACancelButton();
    void endingHidesAtOnceAndRunsNest();
    void pagesThatNeverShow();
    void quitEndsAMessageBoxAndLaterRuns();
    void pagesRunWhileAMainWindowIsSetAreItsChildren();
};

void DialogFrameworkTest::cleanup() {
    QCOMPARE(QApplication::topLevelWidgets().size(), 0);
}

// OK, Enter, Cancel and Escape end the wizard's pages in pages_test.
void DialogFrameworkTest::endsWithoutACancelButton() {
    const std::pair<int, QtDriver::PageAction> rows[] = {
        {140, QtDriver::Key(Qt::Key_Escape)},
        {133, [](PageWindow& window) { window.close(); }},
        {137, QtDriver::MenuEntry("&Close")},
    };
    for (const auto& [dialog, action] : rows) {
        QtDialogFramework framework;
        QtDriver driver(framework);
        QStringList log;
        TestPage page(framework, dialog, log);
        driver.Then(dialog, action);
        QCOMPARE(page.DoModal(), 2);
        QVERIFY(driver.unscripted.empty());
        QVERIFY(!page.Window());
    }
}

void DialogFrameworkTest::endingHidesAtOnceAndRunsNest() {
    QtDialogFramework framework;
    QtDriver driver(framework);
    QStringList log;
    TestPage outer(framework, 129, log);
    TestPage inner(framework, 130, log);
    outer.ok = [&](TestPage& self) {
        QVERIFY(self.Visible());
        self.DialogPage::OnOK();
        log << (self.Visible() ? "still visible" : "hidden");
        QVERIFY(self.Window());  // the window lives until the run returns
        log << QString("inner returned %1").arg(inner.DoModal());
    };
    driver.Then(129, QtDriver::ClickButton(1));
    driver.Then(130, [&](PageWindow& window) {
        QVERIFY(!outer.Visible());
        QTest::mouseClick(window.Button(2), Qt::LeftButton);
    });
    log << QString("outer returned %1").arg(outer.DoModal());
    QCOMPARE(log, QStringList({"init 129", "ok 129", "hidden", "init 130", "cancel 130",
                               "inner returned 2", "outer returned 1"}));
}

// Neither a page that ends while it initialises nor an unknown layout shows.
void DialogFrameworkTest::pagesThatNeverShow() {
    QtDialogFramework framework;
    QtDriver driver(framework);
    QStringList log;
    TestPage ending(framework, 137, log);
    ending.init = [](TestPage& self) { self.EndDialog(1); };
    QCOMPARE(ending.DoModal(), 1);
    TestPage unknown(framework, 4242, log);
    QCOMPARE(unknown.DoModal(), -1);
    QCOMPARE(log, QStringList({"init 137"}));
    QVERIFY(driver.shown.empty());
}

// A quit request ends the box that waits, and stays posted for later runs.
void DialogFrameworkTest::quitEndsAMessageBoxAndLaterRuns() {
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
        [&](QMessageBox&) { QTimer::singleShot(0, [&] { framework.PostQuitMessage(3); }); });
    QCOMPARE(page.DoModal(), -1);
    QCOMPARE(page.DoModal(), -1);
    boxes.ShowMessage(nullptr, "never waits", nullptr, MessageIcon::None);
    QCOMPARE(log, QStringList({"init 102", "command 1018", "box returned", "init 102"}));
    QCOMPARE(driver.boxes.size(), std::size_t(1));
    QCOMPARE(driver.shown, std::vector<int>({102}));
    QCOMPARE(framework.QuitExitCode(), 3);
}

void DialogFrameworkTest::pagesRunWhileAMainWindowIsSetAreItsChildren() {
    QtDialogFramework framework;
    QtDriver driver(framework);
    QStringList log;
    TestPage main(framework, 102, log);
    TestPage other(framework, 138, log);
    main.command = [&](TestPage&, int) { other.DoModal(); };
    framework.SetMainWindow(&main);
    driver.Then(102, [&](PageWindow& window) {
        QVERIFY(!window.parentWidget());
        QTest::keyClick(&window, Qt::Key_I, Qt::ControlModifier);
    });
    driver.Then(138, [&](PageWindow& window) {
        QVERIFY(window.parentWidget());
        QVERIFY(main.Visible());  // the start page's owner stays on screen behind it
        QTest::keyClick(&window, Qt::Key_Escape);
    });
    driver.Then(102, QtDriver::ClickButton(2));
    QCOMPARE(main.DoModal(), 2);
    framework.SetMainWindow(nullptr);
    QCOMPARE(log,
             QStringList({"init 102", "command 1017", "init 138", "cancel 138", "cancel 102"}));
}

QTEST_MAIN(DialogFrameworkTest)
#include "dialog_framework_test.moc"
