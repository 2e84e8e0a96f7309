// ImageFiles on POSIX: open(2) and read(2), an anonymous mapping locked with
// mlock(2).
#pragma once

#include "printer/image_file.h"

namespace quillet {

class PosixImageFiles : public ImageFiles {
public:
    // Only regular files open: a directory, a FIFO or a device is refused
    // without blocking. POSIX has no share modes, so a writer elsewhere is not
    // kept out; a file that shrinks meanwhile gives a short read instead.
    bool OpenFile(const std::string& path, FileHandle& file) override;
    std::uint64_t FileSize(FileHandle file) override;
    void* AllocateBlock(std::size_t size) override;
    // True also where the locked-memory limit refuses the lock (ENOMEM,
    // EPERM): the block is then used unlocked. False only on another error.
    bool LockBlock(void* block, std::size_t size) override;
    void UnlockBlock(void* block, std::size_t size) override;
    std::uint32_t ReadFile(FileHandle file, void* block, std::uint32_t size) override;
    void CloseFile(FileHandle file) override;
    void ReleaseBlock(void* block, std::size_t size) override;
};

}  // namespace quillet
