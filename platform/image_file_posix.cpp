#include "platform/image_file_posix.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quillet {

namespace {

// Handles are the descriptor plus one, so that 0 stays invalid.
int Descriptor(FileHandle file) {
    return static_cast<int>(file) - 1;
}

}  // namespace

bool PosixImageFiles::OpenFile(const std::string& path, FileHandle& file) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        return false;
    }
    // O_NONBLOCK so that opening a FIFO cannot hang; cleared below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    file = static_cast<FileHandle>(fd) + 1;
    return true;
}

std::uint64_t PosixImageFiles::FileSize(FileHandle file) {
    struct stat status {};
    if (::fstat(Descriptor(file), &status) != 0 || status.st_size < 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(status.st_size);
}

void* PosixImageFiles::AllocateBlock(std::size_t size) {
    if (size == 0) {
        return nullptr;
    }
    void* block = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

bool PosixImageFiles::LockBlock(void* block, std::size_t size) {
    if (::mlock(block, size) == 0) {
        return true;
    }
    // An ordinary user's locked-memory limit (8 MiB on Debian) is far below
    // an image's size: go on with the block unlocked rather than fail after
    // the printer is already in download mode. The limit is left as it is,
    // so that nothing started later inherits a raised one.
    return errno == ENOMEM || errno == EPERM;
}

void PosixImageFiles::UnlockBlock(void* block, std::size_t size) {
    ::munlock(block, size);
}

std::uint32_t PosixImageFiles::ReadFile(FileHandle file, void* block, std::uint32_t size) {
    // read(2) may return less than asked (and never more than about 2 GiB at
    // once); keep reading until the whole size or the end of the file.
    auto* next = static_cast<char*>(block);
    std::uint32_t total = 0;
    while (total < size) {
        const ssize_t got = ::read(Descriptor(file), next + total, size - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        total += static_cast<std::uint32_t>(got);
    }
    return total;
}

void PosixImageFiles::CloseFile(FileHandle file) {
    ::close(Descriptor(file));
}

void PosixImageFiles::ReleaseBlock(void* block, std::size_t size) {
    ::munmap(block, size);
}

}  // namespace quillet
