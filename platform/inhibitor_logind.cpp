#include "platform/inhibitor_logind.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>

namespace quillet {

namespace {

// What the desktop's shutdown or log-out dialog shows beside "Quillet".
constexpr const char* kReason =
    "Sending new firmware to the printer. Interrupting it could leave the printer unusable.";

}  // namespace

LogindInhibitor::~LogindInhibitor() {
    Release();
}

void LogindInhibitor::Acquire() {
    if (lock_ >= 0) {
        return;
    }
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:shutdown") << QStringLiteral("Quillet")
         << QString::fromUtf8(kReason) << QStringLiteral("block");
    const QDBusMessage reply = bus.call(call, QDBus::Block, kTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return;
    }
    const auto descriptor = reply.arguments().first().value<QDBusUnixFileDescriptor>();
    if (!descriptor.isValid()) {
        return;
    }
    // Our own copy, not inherited by the driver installer; Qt closes its copy
    // with the reply.
    lock_ = ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
}

void LogindInhibitor::Release() {
    if (lock_ >= 0) {
        ::close(lock_);
        lock_ = -1;
    }
}

}  // namespace quillet
