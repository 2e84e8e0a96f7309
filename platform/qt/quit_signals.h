// SIGINT, SIGTERM and SIGHUP. The first is a quit request: the pages unwind
// as after a failed transfer, so that shutdown writes the saved autorun value
// back. A further one ends the process at once, with that signal, once the
// value is back. exit() called inside the run (Qt's xcb back end ends the
// process so when the display connection breaks) writes it back too.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

class QSocketNotifier;

namespace quillet {

class DialogFramework;
class RecoveryRecord;
class Registry;

class QuitOnSignals {
public:
    // Installs the handlers; one object per process. The framework must
    // outlive the object, which puts the previous handlers back.
    explicit QuitOnSignals(DialogFramework& framework);
    // The same; the value is written back from the record
    // (RestoreRecordedAutoRun) at the ends that skip shutdown. Both must
    // outlive the object, and no other thread may use the registry.
    QuitOnSignals(DialogFramework& framework, RecoveryRecord& record, Registry& registry);
    ~QuitOnSignals();
    QuitOnSignals(const QuitOnSignals&) = delete;
    QuitOnSignals& operator=(const QuitOnSignals&) = delete;

    // False when the handlers could not be installed.
    bool Installed() const { return installed_; }

    // Set by the handler itself at the first signal, before any event loop
    // has seen it: for waits that keep the event loop from running.
    static const std::atomic<bool>& QuitRequested();

private:
    QuitOnSignals(DialogFramework& framework, RecoveryRecord* record, Registry* registry);

    DialogFramework& framework_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::thread rescue_;
    bool installed_ = false;
};

}  // namespace quillet
