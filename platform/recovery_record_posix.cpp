#include "platform/recovery_record_posix.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace quillet {

namespace {

constexpr const char* kFileName = "autorun-record";
constexpr std::string_view kValueField = "SM AutoRun=";
constexpr std::string_view kPrinterField = "\nPrinter=";
constexpr off_t kMaxFileSize = 4096;

// Makes the folder and any missing folder above it, private to the user as
// the state folder should be.
bool MakeFolders(const std::string& folder) {
    for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string part = folder.substr(0, end);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (end == std::string::npos) {
            break;
        }
    }
    struct stat status {};
    return ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// A rename or an unlink lasts only once the folder itself is synced.
void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::string Format(const RecordedAutoRun& record) {
    return std::string(kValueField) + (record.savedAutoRun != 0 ? "1" : "0") +
           std::string(kPrinterField) + record.printer + "\n";
}

std::optional<RecordedAutoRun> Parse(const std::string& text) {
    const std::size_t printerAt = kValueField.size() + 1 + kPrinterField.size();
    if (text.size() <= printerAt + 1 || text.compare(0, kValueField.size(), kValueField) != 0 ||
        text.compare(kValueField.size() + 1, kPrinterField.size(), kPrinterField) != 0 ||
        text.back() != '\n') {
        return std::nullopt;
    }
    const char value = text[kValueField.size()];
    if (value != '0' && value != '1') {
        return std::nullopt;
    }
    return RecordedAutoRun{text.substr(printerAt, text.size() - printerAt - 1), value - '0'};
}

}  // namespace

PosixRecoveryRecord::PosixRecoveryRecord(std::string folder) : folder_(std::move(folder)) {}

std::string PosixRecoveryRecord::DefaultFolder() {
    // A relative XDG_STATE_HOME is to be ignored.
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::string(state) + "/quillet";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.local/state/quillet";
    }
    return {};
}

std::string PosixRecoveryRecord::FilePath() const {
    return folder_ + "/" + kFileName;
}

bool PosixRecoveryRecord::Keep(const RecordedAutoRun& record) {
    kept_ = record;
    if (folder_.empty() || !MakeFolders(folder_)) {
        return false;
    }
    std::string temporary = folder_ + "/." + kFileName + "-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool written = WriteAll(fd, Format(record)) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), FilePath().c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    SyncFolder(folder_);
    return true;
}

void PosixRecoveryRecord::Remove() {
    kept_.reset();
    if (!folder_.empty() && ::unlink(FilePath().c_str()) == 0) {
        SyncFolder(folder_);
    }
}

std::optional<RecordedAutoRun> PosixRecoveryRecord::Find() {
    if (kept_ || folder_.empty()) {
        return kept_;
    }
    // Opened so that nothing but a small regular file is read.
    const int fd =
        ::open(FilePath().c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat status {};
    std::string text;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size <= kMaxFileSize) {
        text.resize(static_cast<std::size_t>(status.st_size));
        const ssize_t got = ::read(fd, text.data(), text.size());
        text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    ::close(fd);
    return Parse(text);
}

void PosixRecoveryRecord::Lock() {
    sigset_t quitSignals;
    sigemptyset(&quitSignals);
    sigaddset(&quitSignals, SIGINT);
    sigaddset(&quitSignals, SIGTERM);
    sigaddset(&quitSignals, SIGHUP);
    sigset_t previous;
    ::pthread_sigmask(SIG_BLOCK, &quitSignals, &previous);
    mutex_.lock();
    holderMask_ = previous;
}

void PosixRecoveryRecord::Unlock() {
    const sigset_t previous = holderMask_;
    mutex_.unlock();
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace quillet
