#include "platform/qt/quit_signals.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "app/dialog_framework.h"
#include "app/recovery_record.h"

namespace quillet {

namespace {

// The handler does no work of its own: it writes the signal's number to a
// pipe. The first goes to the event loop, which posts the quit request; a
// further one goes to the rescue thread, which writes the value back and ends
// the process while the interrupted thread waits in the handler.
int quitPipe[2] = {-1, -1};
int rescuePipe[2] = {-1, -1};
std::atomic<int> signalsSeen{0};
std::atomic<bool> quitRequested{false};
static_assert(std::atomic<int>::is_always_lock_free);
// Without the rescue thread (no thread could be started), every signal is a
// quit request, and the process ends once the pages have unwound.
std::atomic<bool> rescueRunning{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// What the rescue and the exit step write the value back from.
std::atomic<RecoveryRecord*> rescueRecord{nullptr};
std::atomic<Registry*> rescueRegistry{nullptr};

constexpr std::array<int, 3> kQuitSignals = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[kQuitSignals.size()];

sigset_t QuitSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signalNumber : kQuitSignals) {
        sigaddset(&set, signalNumber);
    }
    return set;
}

void OnQuitSignal(int signalNumber) {
    const int savedErrno = errno;
    const char byte = static_cast<char>(signalNumber);
    const bool first = signalsSeen.fetch_add(1) == 0 || !rescueRunning;
    quitRequested = true;
    [[maybe_unused]] ssize_t written = ::write(first ? quitPipe[1] : rescuePipe[1], &byte, 1);
    errno = savedErrno;
    if (!first) {
        for (;;) {
            ::pause();
        }
    }
}

// Ends the process the way the signal ends one.
[[noreturn]] void EndWith(int signalNumber) {
    struct sigaction defaults = {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    ::sigaction(signalNumber, &defaults, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signalNumber);
    ::_exit(128 + signalNumber);
}

// Runs with the quit signals blocked. A zero byte stops it.
void Rescue() {
    char byte = 0;
    ssize_t got = 0;
    while ((got = ::read(rescuePipe[0], &byte, 1)) < 0 && errno == EINTR) {
    }
    if (got != 1 || byte == 0) {
        return;
    }
    RecoveryRecord* record = rescueRecord.load();
    Registry* registry = rescueRegistry.load();
    if (record != nullptr && registry != nullptr) {
        // Kept locked: nothing changes the value again before the end.
        record->Lock();
        RestoreRecordedAutoRun(*registry, *record);
    }
    EndWith(byte);
}

void RestoreAtExit() {
    RecoveryRecord* record = rescueRecord.load();
    Registry* registry = rescueRegistry.load();
    if (record != nullptr && registry != nullptr) {
        RecordLock lock(*record);
        RestoreRecordedAutoRun(*registry, *record);
    }
}

}  // namespace

const std::atomic<bool>& QuitOnSignals::QuitRequested() {
    return quitRequested;
}

QuitOnSignals::QuitOnSignals(DialogFramework& framework)
    : QuitOnSignals(framework, nullptr, nullptr) {}

QuitOnSignals::QuitOnSignals(DialogFramework& framework, RecoveryRecord& record, Registry& registry)
    : QuitOnSignals(framework, &record, &registry) {}

QuitOnSignals::QuitOnSignals(DialogFramework& framework, RecoveryRecord* record, Registry* registry)
    : framework_(framework) {
    rescueRecord = record;
    rescueRegistry = registry;
    static const bool atExitRegistered = std::atexit(RestoreAtExit) == 0;
    if (::pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    if (::pipe2(rescuePipe, O_CLOEXEC) != 0) {
        ::close(quitPipe[0]);
        ::close(quitPipe[1]);
        quitPipe[0] = quitPipe[1] = -1;
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(quitPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        char bytes[16];
        while (::read(quitPipe[0], bytes, sizeof bytes) > 0) {
        }
        framework_.PostQuitMessage(0);
    });

    // The rescue thread inherits a mask with the quit signals blocked, so the
    // handler never stops it.
    const sigset_t quitSignals = QuitSignalSet();
    sigset_t mask;
    ::pthread_sigmask(SIG_BLOCK, &quitSignals, &mask);
    try {
        rescue_ = std::thread(Rescue);
        rescueRunning = true;
    } catch (const std::system_error&) {
        // The user's process limit is reached: run without the rescue.
    }
    ::pthread_sigmask(SIG_SETMASK, &mask, nullptr);

    struct sigaction action = {};
    action.sa_handler = OnQuitSignal;
    action.sa_mask = quitSignals;
    // Spooler and registry calls that a signal interrupts carry on.
    action.sa_flags = SA_RESTART;
    installed_ = atExitRegistered;
    for (std::size_t i = 0; i < kQuitSignals.size(); ++i) {
        installed_ = ::sigaction(kQuitSignals[i], &action, &previous[i]) == 0 && installed_;
    }
}

QuitOnSignals::~QuitOnSignals() {
    if (quitPipe[0] < 0) {
        rescueRecord = nullptr;
        rescueRegistry = nullptr;
        return;
    }
    for (std::size_t i = 0; i < kQuitSignals.size(); ++i) {
        ::sigaction(kQuitSignals[i], &previous[i], nullptr);
    }
    // A rescue under way ends the process before the join returns.
    if (rescue_.joinable()) {
        const char stop = 0;
        [[maybe_unused]] ssize_t written = ::write(rescuePipe[1], &stop, 1);
        rescue_.join();
        rescueRunning = false;
    }
    rescueRecord = nullptr;
    rescueRegistry = nullptr;
    notifier_.reset();
    for (int* end : {&quitPipe[0], &quitPipe[1], &rescuePipe[0], &rescuePipe[1]}) {
        ::close(*end);
        *end = -1;
    }
    signalsSeen = 0;
    quitRequested = false;
}

}  // namespace quillet
