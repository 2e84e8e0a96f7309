#include "platform/image_file_posix.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/regular_file.h"

namespace quillet {

namespace {

// Handles are the descriptor plus one, so that 0 stays invalid.
int Descriptor(FileHandle file) {
    return static_cast<int>(file) - 1;
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Images from this size on are read as two halves at once.
constexpr std::uint32_t kTwoHalvesFrom = 32u << 20;

// Reads `size` bytes at `offset`: pread(2) may return less than asked (and
// never more than about 2 GiB at once), so it goes on until the whole size,
// the end of the file or an error. Returns how many bytes it got.
std::uint32_t ReadAt(int fd, char* into, std::uint32_t size, off_t offset) {
    std::uint32_t total = 0;
    while (total < size) {
        const ssize_t got = ::pread(fd, into + total, size - total, offset + total);
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

}  // namespace

bool PosixImageFiles::OpenFile(const std::string& path, FileHandle& file) {
    OpenImage image{OpenRegularFile(path)};
    const int fd = image.descriptor.get();
    if (fd < 0) {
        return false;
    }
    // The kernel grants a read lease only while nobody has the file open for
    // writing (EAGAIN otherwise), and only to its owner or a caller with
    // CAP_LEASE. A writer that opens the file later breaks the lease, which
    // shows in F_GETLEASE. Granting the lease makes this process the file's
    // owner until F_SETOWN 0, and a break signals the owner, by default with
    // SIGIO, which would end the program. The break signal is therefore
    // SIGURG, which the program leaves at its default, ignored: unlike SIGIO
    // blocked, that holds for every thread, also those Qt starts.
    if (::fcntl(fd, F_SETSIG, SIGURG) == 0 && ::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        image.leased = true;
        ::fcntl(fd, F_SETOWN, 0);
    } else if (errno == EAGAIN) {
        return false;
    }
    if (::fstat(fd, &image.status) != 0) {
        return false;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    file = static_cast<FileHandle>(fd) + 1;
    open_.insert_or_assign(file, std::move(image));
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
    const int fd = Descriptor(file);
    const off_t start = ::lseek(fd, 0, SEEK_CUR);
    if (start < 0) {
        return 0;
    }
    auto* into = static_cast<char*>(block);
    std::uint32_t total = 0;
    // Copying out of the page cache, and for an ordinary user (whose block is
    // not locked) the first touch of every page, is work for the processor:
    // a large image is read as two halves at once, the second on a thread of
    // its own. Each half starts on a page boundary.
    const std::uint32_t half = size >= kTwoHalvesFrom ? (size / 2) & ~std::uint32_t{4095} : 0;
    std::uint32_t secondGot = 0;
    std::thread second;
    if (half > 0) {
        try {
            second = std::thread(
                [&] { secondGot = ReadAt(fd, into + half, size - half, start + half); });
        } catch (const std::system_error&) {
            // No thread to be had: one read of the whole, as for a small image.
        }
    }
    if (second.joinable()) {
        total = ReadAt(fd, into, half, start);
        second.join();
        // Only what follows on without a gap counts.
        if (total == half) {
            total += secondGot;
        }
    } else {
        total = ReadAt(fd, into, size, start);
    }
    ::lseek(fd, start + static_cast<off_t>(total), SEEK_SET);

    // A file that someone opened for writing, or changed, since it was
    // opened may have been read half old, half new: nothing of it counts.
    const auto found = open_.find(file);
    struct stat now {};
    if (found == open_.end() || ::fstat(Descriptor(file), &now) != 0) {
        return 0;
    }
    const struct stat& then = found->second.status;
    const bool leaseBroken =
        found->second.leased && ::fcntl(Descriptor(file), F_GETLEASE) != F_RDLCK;
    if (leaseBroken || now.st_size != then.st_size || !SameTime(now.st_mtim, then.st_mtim) ||
        !SameTime(now.st_ctim, then.st_ctim)) {
        return 0;
    }
    return total;
}

void PosixImageFiles::CloseFile(FileHandle file) {
    const auto found = open_.find(file);
    if (found == open_.end()) {
        return;
    }
    if (found->second.leased) {
        ::fcntl(Descriptor(file), F_SETLEASE, F_UNLCK);
    }
    open_.erase(found);
}

void PosixImageFiles::ReleaseBlock(void* block, std::size_t size) {
    ::munmap(block, size);
}

}  // namespace quillet
