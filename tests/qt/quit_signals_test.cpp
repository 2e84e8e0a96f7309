// SIGINT, SIGTERM and SIGHUP post one quit request through the event loop;
// a second signal ends the process at once.
#include "platform/qt/quit_signals.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTest>

#include "app/dialog_framework.h"

namespace {

// Counts the quit requests; runs no pages.
class QuitCounter : public quillet::DialogFramework {
public:
    int DoModal(quillet::DialogPage&) override { return quillet::kEndFailed; }
    void PostQuitMessage(int exitCode) override {
        ++posted;
        lastExitCode = exitCode;
    }
    void SetMainWindow(quillet::DialogPage*) override {}
    quillet::DialogPage* MainWindow() const override { return nullptr; }
    std::string ApplicationName() const override { return "quillet"; }

    int posted = 0;
    int lastExitCode = -1;
};

}  // namespace

class QuitSignalsTest : public QObject {
    Q_OBJECT

private slots:
    void signalPostsAQuitRequest_data();
    void signalPostsAQuitRequest();
    void secondSignalEndsTheProcessAtOnce();
};

void QuitSignalsTest::signalPostsAQuitRequest_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void QuitSignalsTest::signalPostsAQuitRequest() {
    QFETCH(int, signalNumber);
    struct sigaction before = {}, after = {};
    ::sigaction(signalNumber, nullptr, &before);
    {
        QuitCounter framework;
        quillet::QuitOnSignals quit(framework);
        QVERIFY(quit.Installed());
        ::raise(signalNumber);
        // Posted from the event loop, not from the handler.
        QCOMPARE(framework.posted, 0);
        QTRY_COMPARE(framework.posted, 1);
        QCOMPARE(framework.lastExitCode, 0);
    }
    // The previous handler comes back.
    ::sigaction(signalNumber, nullptr, &after);
    QVERIFY(after.sa_handler == before.sa_handler);
}

void QuitSignalsTest::secondSignalEndsTheProcessAtOnce() {
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        QuitCounter framework;
        quillet::QuitOnSignals quit(framework);
        ::raise(SIGTERM);
        ::raise(SIGTERM);
        ::_exit(0);  // not reached: the second signal ends the process
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status));
    QCOMPARE(WTERMSIG(status), SIGTERM);
}

QTEST_GUILESS_MAIN(QuitSignalsTest)
#include "quit_signals_test.moc"
