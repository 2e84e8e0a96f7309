// ImageFiles on POSIX: open(2) and read(2), an anonymous mapping locked with
// mlock(2).
#pragma once

#include <sys/stat.h>

#include <map>

#include "platform/file_descriptor.h"
#include "printer/image_file.h"

namespace quillet {

class PosixImageFiles : public ImageFiles {
public:
    // Only regular files open: a directory, a FIFO or a device is refused
    // without blocking. POSIX has no share modes; in their place a file that
    // another process holds open for writing is refused where the kernel
    // would grant a read lease on it (Linux, the file's owner or CAP_LEASE),
    // and the lease is held until the file is closed.
    bool OpenFile(const std::string& path, FileHandle& file) override;
    std::uint64_t FileSize(FileHandle file) override;
    void* AllocateBlock(std::size_t size) override;
    // True also where the locked-memory limit refuses the lock (ENOMEM,
    // EPERM): the block is then used unlocked. False only on another error.
    bool LockBlock(void* block, std::size_t size) override;
    void UnlockBlock(void* block, std::size_t size) override;
    // Counts nothing as read when, since the open, the lease was broken by a
    // writer, or the file's size, mtime or ctime changed: where no lease was
    // granted, that is how a writer shows.
    std::uint32_t ReadFile(FileHandle file, void* block, std::uint32_t size) override;
    void CloseFile(FileHandle file) override;
    void ReleaseBlock(void* block, std::size_t size) override;

private:
    // What the open saw of each open file.
    struct OpenImage {
        FileDescriptor descriptor;  // closed when the image leaves open_
        bool leased = false;
        struct stat status {};
    };
    std::map<FileHandle, OpenImage> open_;
};

}  // namespace quillet
