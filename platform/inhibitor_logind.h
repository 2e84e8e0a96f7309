// Sleep and shutdown held off through systemd-logind on the system bus.
#pragma once

#include "app/inhibitor.h"
#include "platform/file_descriptor.h"

namespace quillet {

// Takes a "sleep:shutdown" inhibitor lock in "block" mode from
// org.freedesktop.login1 (DBUS_SYSTEM_BUS_ADDRESS, else the system's bus).
// logind holds the lock as long as the descriptor it hands back is open, so
// the lock ends with Release(), with this object, or with the process.
class LogindInhibitor : public Inhibitor {
public:
    LogindInhibitor() = default;
    ~LogindInhibitor() override;
    LogindInhibitor(const LogindInhibitor&) = delete;
    LogindInhibitor& operator=(const LogindInhibitor&) = delete;

    // Gives up after kTimeoutMs, connecting to the bus included, and then goes
    // on without the lock.
    void Acquire() override;
    void Release() override;

    static constexpr int kTimeoutMs = 500;

private:
    FileDescriptor lock_;  // the descriptor logind returned
};

}  // namespace quillet
