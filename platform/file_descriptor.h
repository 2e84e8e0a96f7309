// Owns a POSIX file descriptor: closed once, on every path out of its scope.
#pragma once

#include <unistd.h>

#include <utility>

namespace quillet {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            Close();
            fd_ = other.Release();
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    // -1 when none is held.
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

    // False only when close(2) reports an error, which for a file just
    // written may be the first sign that its data did not reach the disk.
    bool Close() {
        const int fd = std::exchange(fd_, -1);
        return fd < 0 || ::close(fd) == 0;
    }
    // Hands the descriptor to a new owner, such as fdopen(3).
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

}  // namespace quillet
