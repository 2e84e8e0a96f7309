// SIGINT, SIGTERM and SIGHUP as a quit request: the pages unwind as after a
// failed transfer, so that shutdown writes the saved autorun value back. A
// second signal ends the process at once.
#pragma once

#include <memory>

class QSocketNotifier;

namespace quillet {

class DialogFramework;

class QuitOnSignals {
public:
    // Installs the handlers; one object per process. The framework must
    // outlive the object, which puts the previous handlers back.
    explicit QuitOnSignals(DialogFramework& framework);
    ~QuitOnSignals();
    QuitOnSignals(const QuitOnSignals&) = delete;
    QuitOnSignals& operator=(const QuitOnSignals&) = delete;

    // False when the handlers could not be installed.
    bool Installed() const { return installed_; }

private:
    DialogFramework& framework_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool installed_ = false;
};

}  // namespace quillet
