#include "platform/recovery_record_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "platform/regular_file.h"

namespace quillet {

namespace {

constexpr std::string_view kFilePrefix = "autorun-record-";
constexpr std::string_view kValueField = "SM AutoRun=";
constexpr std::string_view kPrinterField = "\nPrinter=";
constexpr std::string_view kStoreField = "\nStore=";
constexpr off_t kMaxFileSize = 8192;
// Printer names longer than this in a file name end in a hash instead.
constexpr std::size_t kMaxNameLength = 100;

std::uint64_t Fnv1a(const std::string& text) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const unsigned char c : text) {
        hash = (hash ^ c) * 0x100000001b3u;
    }
    return hash;
}

std::string Hex(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// The printer's name as a part of a file name: folded to lower case, as the
// registry compares names, and every byte but a letter, a digit, '_' and '-'
// written as %XX.
std::string NamePart(const std::string& printer) {
    std::string folded;
    std::string name;
    for (const char c : printer) {
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        folded += lower;
        if ((lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9') || lower == '_' ||
            lower == '-') {
            name += lower;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(lower));
            name += escaped;
        }
    }
    if (name.size() > kMaxNameLength) {
        name = name.substr(0, kMaxNameLength - 17) + "~" + Hex(Fnv1a(folded));
    }
    return name;
}

// The store's path with links and "." resolved, so that every way of naming
// it finds the same records and locks; as given when it does not exist.
std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? resolved : path;
}

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
    const FileDescriptor opened(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (opened) {
        ::fsync(opened.get());
    }
}

std::string Format(const RecordedAutoRun& record, const std::string& store) {
    return std::string(kValueField) + (record.savedAutoRun != 0 ? "1" : "0") +
           std::string(kPrinterField) + record.printer + std::string(kStoreField) + store + "\n";
}

// The record in `text` when it belongs to `store`.
std::optional<RecordedAutoRun> Parse(const std::string& text, const std::string& store) {
    const std::size_t printerAt = kValueField.size() + 1 + kPrinterField.size();
    const std::string storeLine = std::string(kStoreField) + store + "\n";
    if (text.size() <= printerAt + storeLine.size() ||
        text.compare(0, kValueField.size(), kValueField) != 0 ||
        text.compare(kValueField.size() + 1, kPrinterField.size(), kPrinterField) != 0 ||
        text.compare(text.size() - storeLine.size(), storeLine.size(), storeLine) != 0) {
        return std::nullopt;
    }
    const char value = text[kValueField.size()];
    const std::string printer = text.substr(printerAt, text.size() - storeLine.size() - printerAt);
    if ((value != '0' && value != '1') || printer.find('\n') != std::string::npos) {
        return std::nullopt;
    }
    return RecordedAutoRun{printer, value - '0'};
}

// A small regular file's content; empty when it is anything else.
std::string ReadSmallFile(const std::string& path) {
    const FileDescriptor file = OpenRegularFile(path, Links::NotFollowed);
    struct stat status {};
    std::string text;
    if (file && ::fstat(file.get(), &status) == 0 && status.st_size <= kMaxFileSize) {
        text.resize(static_cast<std::size_t>(status.st_size));
        const ssize_t got = ::read(file.get(), text.data(), text.size());
        text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    return text;
}

}  // namespace

PosixRecoveryRecord::PosixRecoveryRecord(const std::string& storePath, std::string folder)
    : store_(RealPath(storePath)), folder_(std::move(folder)) {}

PosixRecoveryRecord::~PosixRecoveryRecord() {
    Release();
}

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
    return folder_ + "/" + std::string(kFilePrefix) + Hex(Fnv1a(store_)) + "-" + NamePart(printer_);
}

PrinterHold PosixRecoveryRecord::Hold(const std::string& printer) {
    if (!printer_.empty() && NamePart(printer) == NamePart(printer_) && lock_) {
        printer_ = printer;
        return PrinterHold::Held;
    }
    Release();
    // Only a store that exists has a folder to lock in. Opened for reading
    // alone, which is all flock needs, so any user who can read the file
    // takes part; made readable for all whatever the creator's umask.
    const std::string lockPath = store_ + ".printer-" + NamePart(printer) + ".lock";
    FileDescriptor lock;
    if (::access(store_.c_str(), F_OK) == 0) {
        lock = FileDescriptor(
            ::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0664));
    }
    struct stat status {};
    if (lock && (::fstat(lock.get(), &status) != 0 || !S_ISREG(status.st_mode))) {
        lock.Close();
    }
    if (lock && status.st_uid == ::geteuid() && (status.st_mode & 07777) != 0664) {
        ::fchmod(lock.get(), 0664);
    }
    if (lock && ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            return PrinterHold::HeldElsewhere;
        }
        lock.Close();
    }
    printer_ = printer;
    lock_ = std::move(lock);
    return lock_ ? PrinterHold::Held : PrinterHold::CannotTell;
}

void PosixRecoveryRecord::Release() {
    lock_.Close();
    printer_.clear();
    kept_.reset();
}

bool PosixRecoveryRecord::Keep(const RecordedAutoRun& record) {
    kept_ = record;
    if (folder_.empty() || printer_.empty() || !MakeFolders(folder_)) {
        return false;
    }
    const std::string temporary = "/." + std::string(kFilePrefix) + "XXXXXX";
    std::string path = folder_ + temporary;
    FileDescriptor file(::mkostemp(path.data(), O_CLOEXEC));
    if (!file) {
        return false;
    }
    const bool written = WriteAll(file.get(), Format(record, store_)) && ::fsync(file.get()) == 0;
    if (!file.Close() || !written || ::rename(path.c_str(), FilePath().c_str()) != 0) {
        ::unlink(path.c_str());
        return false;
    }
    SyncFolder(folder_);
    return true;
}

bool PosixRecoveryRecord::Remove() {
    kept_.reset();
    if (folder_.empty() || printer_.empty()) {
        return true;
    }
    const std::string path = FilePath();
    if (::unlink(path.c_str()) == 0) {
        SyncFolder(folder_);
        return true;
    }
    if (errno == ENOENT) {
        return true;
    }
    // A folder that is read-only may still hold a writable file: emptied,
    // it is no record.
    const FileDescriptor file(
        ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
    return file && ::fsync(file.get()) == 0;
}

std::optional<RecordedAutoRun> PosixRecoveryRecord::Find() {
    if (kept_ || folder_.empty() || printer_.empty()) {
        return kept_;
    }
    return Parse(ReadSmallFile(FilePath()), store_);
}

std::vector<std::string> PosixRecoveryRecord::RecordedPrinters() {
    std::vector<std::string> printers;
    DIR* folder = folder_.empty() ? nullptr : ::opendir(folder_.c_str());
    if (folder == nullptr) {
        return printers;
    }
    const std::string ours = std::string(kFilePrefix) + Hex(Fnv1a(store_)) + "-";
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.compare(0, ours.size(), ours) != 0) {
            continue;
        }
        if (const auto record = Parse(ReadSmallFile(folder_ + "/" + name), store_)) {
            printers.push_back(record->printer);
        }
    }
    ::closedir(folder);
    return printers;
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
