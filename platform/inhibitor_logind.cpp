#include "platform/inhibitor_logind.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdint>
#include <memory>

namespace quillet {

namespace {

// What the desktop's shutdown or log-out dialog shows beside "Quillet".
constexpr const char* kReason =
    "Sending new firmware to the printer. Interrupting it could leave the printer unusable.";

struct BusCloser {
    void operator()(sd_bus* bus) const { sd_bus_close_unref(bus); }
};
using Bus = std::unique_ptr<sd_bus, BusCloser>;

struct InhibitAnswer {
    bool answered = false;
    int lock = -1;
};

int OnInhibitReply(sd_bus_message* reply, void* userdata, sd_bus_error*) {
    auto* answer = static_cast<InhibitAnswer*>(userdata);
    answer->answered = true;
    int descriptor = -1;
    if (!sd_bus_message_is_method_error(reply, nullptr) &&
        sd_bus_message_read(reply, "h", &descriptor) > 0) {
        // The message owns the descriptor it carried: keep a copy, not
        // inherited by the driver installer.
        answer->lock = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    }
    return 0;
}

}  // namespace

LogindInhibitor::~LogindInhibitor() {
    Release();
}

void LogindInhibitor::Acquire() {
    if (lock_) {
        return;
    }
    // sd-bus connects and authenticates without blocking, so one deadline
    // covers the whole exchange: a bus that accepts and never answers costs
    // no more than one that is not there.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
    sd_bus* opened = nullptr;
    if (sd_bus_open_system(&opened) < 0) {
        return;
    }
    const Bus bus(opened);
    InhibitAnswer answer;
    if (sd_bus_call_method_async(bus.get(), nullptr, "org.freedesktop.login1",
                                 "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                 "Inhibit", OnInhibitReply, &answer, "ssss", "sleep:shutdown",
                                 "Quillet", kReason, "block") < 0) {
        return;
    }
    while (!answer.answered) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            break;
        }
        const int processed = sd_bus_process(bus.get(), nullptr);
        if (processed < 0) {
            break;
        }
        if (processed == 0 && sd_bus_wait(bus.get(), static_cast<std::uint64_t>(left)) < 0) {
            break;
        }
    }
    // A lock logind grants after this point goes out on a closed connection,
    // and ends with it.
    lock_ = FileDescriptor(answer.lock);
}

void LogindInhibitor::Release() {
    lock_.Close();
}

}  // namespace quillet
