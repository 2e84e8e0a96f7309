// The Qt framework under the pages: what app/dialog_framework.h promises and
// the whole runs of pages_test cannot see (a page hidden at once when it ends,
// the main window owning later pages, the close box as Cancel, the quit
// request), the page window's texts, menu and names, and the quit signals.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QLabel>
#include <QListWidget>
#include <QTimer>

#include "platform/qt/message_boxes_qt.h"
#include "platform/qt/quit_signals.h"
#include "tests/qt/qt_driver.h"

using namespace quillet;
using quillet::testing::QtDriver;

namespace {

// A page that logs what happens to it, with handlers the test sets.
class TestPage : public DialogPage {
public:
    TestPage(QtDialogFramework& framework, int dialogId, QStringList& log)
        : DialogPage(framework, dialogId), log_(log) {}

    std::function<void(TestPage&)> ok;
    std::function<void()> command;

    bool OnInitDialog() override {
        log_ << QString("init %1").arg(DialogId());
        return DialogPage::OnInitDialog();
    }
    void OnOK() override {
        log_ << QString("ok %1").arg(DialogId());
        ok ? ok(*this) : DialogPage::OnOK();
    }
    void OnCancel() override {
        log_ << QString("cancel %1").arg(DialogId());
        DialogPage::OnCancel();
    }
    void OnCommand(int id) override {
        log_ << QString("command %1").arg(id);
        command();
    }
    bool Visible() const {
        PageWindow* window = static_cast<QtDialogFramework&>(Framework()).WindowOf(*this);
        return window && window->isVisible();
    }

private:
    QStringList& log_;
};

}  // namespace

class FrameworkTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(QApplication::topLevelWidgets().size(), 0); }

    // The wizard's chain: a page opened from the main window is its child and
    // leaves it on screen; a page that ends is hidden at once, its window kept
    // until its run returns, while the page it opened runs nested.
    void pagesEndHiddenAtOnceAndNestUnderTheMainWindow() {
        QtDialogFramework framework;
        QtDriver driver(framework);
        QStringList log;
        TestPage main(framework, 102, log), start(framework, 138, log), run(framework, 139, log);
        main.command = [&] { start.DoModal(); };
        start.ok = [&](TestPage& self) {
            self.DialogPage::OnOK();
            log << (self.Visible() || !self.Window() ? "not hidden" : "hidden");
            log << QString("returned %1").arg(run.DoModal());
        };
        framework.SetMainWindow(&main);
        driver.Then(102, QtDriver::Key(Qt::Key_I, Qt::ControlModifier));
        driver.Then(138, [&](PageWindow& window) {
            QCOMPARE(window.parentWidget(), framework.WindowOf(main));
            QVERIFY(main.Visible());
            QTest::mouseClick(window.Button(kIdOk), Qt::LeftButton);
        });
        driver.Then(139, [](PageWindow& window) { window.close(); });  // the close box
        driver.Then(102, QtDriver::ClickButton(kIdCancel));
        QCOMPARE(main.DoModal(), 2);
        framework.SetMainWindow(nullptr);
        QCOMPARE(log, QStringList({"init 102", "command 1017", "init 138", "ok 138", "hidden",
                                   "init 139", "cancel 139", "returned 2", "cancel 102"}));
    }

    // A quit request ends the box that waits and the runs around it, and stays
    // posted: later pages and boxes end before they show.
    void quitEndsABoxAndLaterRuns() {
        QtDialogFramework framework;
        QtMessageBoxes boxes(framework);
        QtDriver driver(framework);
        QStringList log;
        framework.onDialogWaiting = [&](QDialog& box) {
            log << "box";
            framework.QuitPending() ? box.reject()
                                    : QTimer::singleShot(0, [&] { framework.PostQuitMessage(3); });
        };
        TestPage page(framework, 102, log);
        page.command = [&] {
            boxes.ShowMessage(&page, "waiting", nullptr, MessageIcon::None);
            log << "box returned";
        };
        driver.Then(102, QtDriver::Key(Qt::Key_F5));
        QCOMPARE(page.DoModal(), -1);
        QCOMPARE(page.DoModal(), -1);
        boxes.ShowMessage(nullptr, "never waits", nullptr, MessageIcon::None);
        QCOMPARE(log, QStringList({"init 102", "command 1018", "box", "box returned", "init 102"}));
        QCOMPARE(framework.QuitExitCode(), 3);
    }

    // Texts are plain; a list is named by the text above it for screen
    // readers; the window menu holds the page's commands, Close and the
    // appended entries.
    void windowTextsMenuAndNames() {
        PageWindow select(*FindDialogLayout(102));
        select.SetFieldText(811, "<b>Choose</b> & go");
        select.AppendMenuSeparator();
        select.AppendMenuEntry(16, "&About Quillet...");
        QCOMPARE(select.TextField(811)->textFormat(), Qt::PlainText);
        QCOMPARE(select.List(kPrinterListId)->accessibleName(), QString("<b>Choose</b> & go"));
        QStringList entries;
        std::unique_ptr<QMenu> menu(select.BuildMenu());
        for (QAction* action : menu->actions()) {
            entries << (action->isSeparator() ? "-" : action->text());
        }
        QCOMPARE(entries, QStringList({"&Install Printer Driver...", "Re&fresh Printer List", "-",
                                       "&Close", "-", "&About Quillet..."}));
        PageWindow about(*FindDialogLayout(100));
        QStringList names;
        for (QLabel* label : about.findChildren<QLabel*>()) {
            names << label->accessibleName();
        }
        QVERIFY(names.contains("Quillet"));  // the icon
    }

    // SIGINT, SIGTERM and SIGHUP post one quit request through the event
    // loop, and the handlers before come back.
    void signalPostsAQuitRequest_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void signalPostsAQuitRequest() {
        QFETCH(int, signalNumber);
        struct sigaction before = {}, after = {};
        ::sigaction(signalNumber, nullptr, &before);
        {
            QtDialogFramework framework;
            QuitOnSignals quit(framework);
            QVERIFY(quit.Installed());
            ::raise(signalNumber);
            QVERIFY(!framework.QuitPending());
            QTRY_VERIFY(framework.QuitPending());
            QCOMPARE(framework.QuitExitCode(), 0);
        }
        ::sigaction(signalNumber, nullptr, &after);
        QVERIFY(after.sa_handler == before.sa_handler);
    }

    // A second signal ends the process at once, as that signal does.
    void secondSignalEndsTheProcessAtOnce() {
        const pid_t child = ::fork();
        if (child == 0) {
            QtDialogFramework framework;
            QuitOnSignals quit(framework);
            ::raise(SIGTERM);
            ::raise(SIGTERM);
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    }
};

QTEST_MAIN(FrameworkTest)
#include "framework_test.moc"
