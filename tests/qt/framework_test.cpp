// The quit request and the quit signals: what the whole runs of pages_test
// and the end-to-end tests cannot see.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTimer>

#include "platform/qt/quit_signals.h"
#include "tests/qt/qt_driver.h"

using namespace quillet;
using quillet::testing::QtDriver;

namespace {

// A page whose commands the test handles.
class CommandPage : public DialogPage {
public:
    using DialogPage::DialogPage;
    std::function<void()> command;
    void OnCommand(int) override { command(); }
};

}  // namespace

class FrameworkTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(QApplication::topLevelWidgets().size(), 0); }

    // A quit request ends the box that waits and the runs around it, and stays
    // posted: later pages and boxes end before they show.
    void quitEndsABoxAndLaterRuns() {
        QtDialogFramework framework;
        QtDriver driver(framework);
        QStringList log;
        framework.onDialogWaiting = [&](QDialog& box) {
            log << "box";
            framework.QuitPending() ? box.reject()
                                    : QTimer::singleShot(0, [&] { framework.PostQuitMessage(3); });
        };
        driver.onPage = [&](int id) { log << QString("page %1").arg(id); };
        CommandPage page(framework, 102);
        page.command = [&] {
            framework.ShowMessage(&page, "waiting", nullptr, MessageIcon::None);
            log << "box returned";
        };
        driver.Then(102, QtDriver::Key(Qt::Key_F5));
        QCOMPARE(page.DoModal(), -1);
        QCOMPARE(page.DoModal(), -1);
        framework.ShowMessage(nullptr, "never waits", nullptr, MessageIcon::None);
        QCOMPARE(log, QStringList({"page 102", "box", "box returned"}));
        QCOMPARE(framework.QuitExitCode(), 3);
    }

    // SIGINT, SIGTERM and SIGHUP post one quit request through the event
    // loop, and the handlers before come back.
    void signalPostsAQuitRequest() {
        for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
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
