// Reading a file whole into one locked memory block, as the image transfer
// needs it. Back ends: platform/image_file_posix.cpp; tests/doubles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillet {

using FileHandle = std::uintptr_t;  // 0 is never a valid handle

class ImageFiles {
public:
    virtual ~ImageFiles() = default;

    // Opens an existing regular file for sequential reading; others may read
    // it meanwhile, but a file that another process holds open for writing
    // is not opened. False when it cannot be opened, with nothing to close.
    virtual bool OpenFile(const std::string& path, FileHandle& file) = 0;

    // The file's full size in bytes.
    virtual std::uint64_t FileSize(FileHandle file) = 0;

    // One committed read-write block of exactly `size` bytes, or nullptr.
    // A block of size 0 is never obtained.
    virtual void* AllocateBlock(std::size_t size) = 0;

    // Locks the block's pages in physical memory. A back end may leave them
    // unlocked where the platform's limits do not allow it; false on an error.
    virtual bool LockBlock(void* block, std::size_t size) = 0;
    virtual void UnlockBlock(void* block, std::size_t size) = 0;

    // Reads up to `size` bytes from the start of the file into the block and
    // returns how many arrived. A read error counts what arrived before it;
    // a file written to since it was opened counts as nothing read.
    virtual std::uint32_t ReadFile(FileHandle file, void* block, std::uint32_t size) = 0;

    virtual void CloseFile(FileHandle file) = 0;
    virtual void ReleaseBlock(void* block, std::size_t size) = 0;
};

}  // namespace quillet
