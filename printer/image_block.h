// The firmware image read whole into one memory block, held from the check
// before download mode until it is sent, so that the printer gets the bytes
// that were checked whatever becomes of the file meanwhile.
#pragma once

#include <cstdint>
#include <string>

#include "printer/image_file.h"

namespace quillet {

class ImageBlock {
public:
    ImageBlock() = default;
    ~ImageBlock() { Release(); }
    ImageBlock(const ImageBlock&) = delete;
    ImageBlock& operator=(const ImageBlock&) = delete;

    // Reads the file at `path` into a block of its own size, locked while it
    // is read, in place of any block held before. False, with no block held,
    // when the file cannot be opened, is empty, is 4 GiB or more, the block
    // cannot be obtained or locked, or the read falls short (a writer came
    // along, or the file changed).
    bool Read(ImageFiles& files, const std::string& path);

    // Whether a block read from `path` is held.
    bool Holds(const std::string& path) const { return data_ != nullptr && path_ == path; }
    const void* Data() const { return data_; }
    std::uint32_t Size() const { return size_; }

    // Gives the block back; nothing happens when none is held.
    void Release();

private:
    ImageFiles* files_ = nullptr;
    void* data_ = nullptr;
    std::uint32_t size_ = 0;
    std::string path_;
};

}  // namespace quillet
