#include "platform/qt/quit_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>

#include "app/dialog_framework.h"

namespace quillet {

namespace {

// The self-pipe: the handler only writes a byte; the event loop reads it and
// posts the quit request on the user-interface thread.
int pipeFds[2] = {-1, -1};
volatile sig_atomic_t signalsSeen = 0;

constexpr std::array<int, 3> kQuitSignals = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[kQuitSignals.size()];

void OnQuitSignal(int signalNumber) {
    signalsSeen = signalsSeen + 1;
    if (signalsSeen >= 2) {
        // The user insists: end now, the way the signal ends a process.
        ::signal(signalNumber, SIG_DFL);
        ::raise(signalNumber);
        return;
    }
    const int savedErrno = errno;
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

QuitOnSignals::QuitOnSignals(DialogFramework& framework) : framework_(framework) {
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(pipeFds[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        char bytes[16];
        while (::read(pipeFds[0], bytes, sizeof bytes) > 0) {
        }
        framework_.PostQuitMessage(0);
    });

    struct sigaction action = {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    // Spooler and registry calls that a signal interrupts carry on.
    action.sa_flags = SA_RESTART;
    installed_ = true;
    for (std::size_t i = 0; i < kQuitSignals.size(); ++i) {
        installed_ = ::sigaction(kQuitSignals[i], &action, &previous[i]) == 0 && installed_;
    }
}

QuitOnSignals::~QuitOnSignals() {
    if (pipeFds[0] < 0) {
        return;
    }
    for (std::size_t i = 0; i < kQuitSignals.size(); ++i) {
        ::sigaction(kQuitSignals[i], &previous[i], nullptr);
    }
    notifier_.reset();
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
    signalsSeen = 0;
}

}  // namespace quillet
