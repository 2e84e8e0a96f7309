#include "platform/process_posix.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/file_descriptor.h"

extern char** environ;

namespace quillet {

bool PosixProcessLauncher::StartProcess(const std::string& applicationName) {
    if (applicationName.empty() || applicationName.find('\0') != std::string::npos) {
        return false;
    }
    std::string path = applicationName;
    std::replace(path.begin(), path.end(), '\\', '/');
    // A bare name would otherwise be looked up nowhere; keep it in the
    // current directory, as the package means it.
    if (path.find('/') == std::string::npos) {
        path = "./" + path;
    }

    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) ||
        ::access(path.c_str(), X_OK) != 0) {
        return false;
    }

    // The grandchild writes its errno here when exec fails; on success the
    // close-on-exec end closes and the parent reads end of file.
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
    FileDescriptor readEnd(ends[0]);
    FileDescriptor writeEnd(ends[1]);

    // Everything the children need is prepared before fork: after it, in a
    // process that may have threads, only async-signal-safe calls are made.
    char* const argv[] = {path.data(), nullptr};
    sigset_t noSignals;
    ::sigemptyset(&noSignals);
    struct sigaction defaultAction = {};
    defaultAction.sa_handler = SIG_DFL;
    ::sigemptyset(&defaultAction.sa_mask);
    // Our handlers must not run in the children (the quit handler would
    // speak for the wizard), so every signal waits until the installer's
    // dispositions are back to their defaults.
    sigset_t allSignals;
    ::sigfillset(&allSignals);
    sigset_t ourMask;
    ::pthread_sigmask(SIG_SETMASK, &allSignals, &ourMask);
    const pid_t child = ::fork();
    if (child != 0) {
        ::pthread_sigmask(SIG_SETMASK, &ourMask, nullptr);
    }
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            // The installer inherits none of our descriptors (the scheduler's
            // connections, the display's) and starts with no signal blocked
            // and none ignored: an ignored signal stays ignored across exec.
            ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
            for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
                ::sigaction(signalNumber, &defaultAction, nullptr);
            }
            ::sigprocmask(SIG_SETMASK, &noSignals, nullptr);
            ::execve(path.c_str(), argv, environ);
            const int error = errno;
            [[maybe_unused]] ssize_t ignored = ::write(writeEnd.get(), &error, sizeof error);
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    writeEnd.Close();

    int childStatus = 0;
    while (::waitpid(child, &childStatus, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(childStatus) || WEXITSTATUS(childStatus) != 0) {
        return false;  // the second fork failed
    }

    int execError = 0;
    ssize_t got = 0;
    while ((got = ::read(readEnd.get(), &execError, sizeof execError)) < 0 && errno == EINTR) {
    }
    return got == 0;
}

}  // namespace quillet
