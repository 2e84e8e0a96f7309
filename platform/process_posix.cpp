#include "platform/process_posix.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>

#include "platform/file_descriptor.h"

extern char** environ;

namespace quillet {

namespace {

// '\' read as '/'. A bare name would otherwise be looked up nowhere; it is
// kept in the current folder, as the package means it.
std::string ProgramPath(const std::string& applicationName) {
    std::string path = applicationName;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path.find('/') == std::string::npos ? "./" + path : path;
}

bool IsExecutableFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// Everything the installer's process needs, prepared before fork: after it,
// in a process that may have threads, only async-signal-safe calls are made.
struct Exec {
    explicit Exec(std::string programPath) : path(std::move(programPath)) {
        ::sigemptyset(&noSignals);
        defaultAction.sa_handler = SIG_DFL;
        ::sigemptyset(&defaultAction.sa_mask);
    }
    Exec(const Exec&) = delete;  // argv points into path
    Exec& operator=(const Exec&) = delete;

    std::string path;
    char* const argv[2] = {path.data(), nullptr};
    sigset_t noSignals;
    struct sigaction defaultAction = {};
};

// The intermediate child: starts the installer in a grandchild, which
// writes its errno to `errorEnd` when exec fails, and exits 0 when the fork
// succeeded.
[[noreturn]] void RunIntermediateChild(const Exec& exec, const FileDescriptor& errorEnd) {
    const pid_t grandchild = ::fork();
    if (grandchild == 0) {
        // The installer inherits none of our descriptors (the scheduler's
        // connections, the display's) and starts with no signal blocked and
        // none ignored: an ignored signal stays ignored across exec.
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
            ::sigaction(signalNumber, &exec.defaultAction, nullptr);
        }
        ::sigprocmask(SIG_SETMASK, &exec.noSignals, nullptr);
        ::execve(exec.path.c_str(), exec.argv, environ);
        const int error = errno;
        [[maybe_unused]] ssize_t ignored = ::write(errorEnd.get(), &error, sizeof error);
        ::_exit(127);
    }
    ::_exit(grandchild < 0 ? 1 : 0);
}

// Forks the intermediate child. Our handlers must not run in the children
// (the quit handler would speak for the wizard), so every signal waits until
// the installer's dispositions are back to their defaults.
pid_t ForkIntermediateChild(const Exec& exec, const FileDescriptor& errorEnd) {
    sigset_t allSignals;
    ::sigfillset(&allSignals);
    sigset_t ourMask;
    ::pthread_sigmask(SIG_SETMASK, &allSignals, &ourMask);
    const pid_t child = ::fork();
    if (child == 0) {
        RunIntermediateChild(exec, errorEnd);
    }
    ::pthread_sigmask(SIG_SETMASK, &ourMask, nullptr);
    return child;
}

bool ExitedWithZero(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// True when the pipe ends without a word: exec closed the grandchild's end.
bool NothingWritten(const FileDescriptor& readEnd) {
    int execError = 0;
    ssize_t got = 0;
    while ((got = ::read(readEnd.get(), &execError, sizeof execError)) < 0 && errno == EINTR) {
    }
    return got == 0;
}

}  // namespace

bool PosixProcessLauncher::StartProcess(const std::string& applicationName) {
    if (applicationName.empty() || applicationName.find('\0') != std::string::npos) {
        return false;
    }
    const Exec exec(ProgramPath(applicationName));
    if (!IsExecutableFile(exec.path)) {
        return false;
    }
    // The grandchild writes its errno here when exec fails; on success the
    // close-on-exec end closes and the parent reads end of file.
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
    const FileDescriptor readEnd(ends[0]);
    FileDescriptor writeEnd(ends[1]);

    const pid_t child = ForkIntermediateChild(exec, writeEnd);
    writeEnd.Close();
    if (child < 0 || !ExitedWithZero(child)) {
        return false;  // the first or the second fork failed
    }
    return NothingWritten(readEnd);
}

}  // namespace quillet
