// Sending the firmware image: the whole file read into one locked block and
// handed to the spooler as one raw job.

#include <limits>

#include "app/upgrade_app.h"

namespace quillet {

namespace {

class OpenFile {
public:
    OpenFile(ImageFiles& files, FileHandle file) : files_(files), file_(file) {}
    ~OpenFile() { Close(); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    // Closes early, once the file has been read; the destructor then does nothing.
    void Close() {
        if (file_ != 0) {
            files_.CloseFile(file_);
            file_ = 0;
        }
    }

private:
    ImageFiles& files_;
    FileHandle file_;
};

class MemoryBlock {
public:
    MemoryBlock(ImageFiles& files, void* block, std::size_t size)
        : files_(files), block_(block), size_(size) {}
    ~MemoryBlock() { files_.ReleaseBlock(block_, size_); }
    MemoryBlock(const MemoryBlock&) = delete;
    MemoryBlock& operator=(const MemoryBlock&) = delete;

private:
    ImageFiles& files_;
    void* block_;
    std::size_t size_;
};

}  // namespace

int UpgradeApp::CheckImageFile(const std::string& path) {
    ImageFiles& files = services_.imageFiles;
    FileHandle handle = 0;
    if (!files.OpenFile(path, handle)) {
        return 0;
    }
    OpenFile file(files, handle);
    const std::uint64_t size = files.FileSize(handle);
    return size > 0 && size <= std::numeric_limits<std::uint32_t>::max() ? 1 : 0;
}

int UpgradeApp::SendImageFile(const std::string& printerName, const std::string& path) {
    ImageFiles& files = services_.imageFiles;

    FileHandle handle = 0;
    if (!files.OpenFile(path, handle)) {
        return 0;
    }
    OpenFile file(files, handle);

    // The job length is 32 bits wide: an image of 4 GiB or more is refused
    // rather than sent cut to its lower 32 bits.
    const std::uint64_t fileSize = files.FileSize(handle);
    if (fileSize > std::numeric_limits<std::uint32_t>::max()) {
        return 0;
    }
    const auto size = static_cast<std::uint32_t>(fileSize);

    // An empty file ends here too: a block of size 0 is never obtained.
    void* data = files.AllocateBlock(size);
    if (data == nullptr) {
        return 0;
    }
    MemoryBlock block(files, data, size);

    if (!files.LockBlock(data, size)) {
        return 0;
    }
    const std::uint32_t bytesRead = files.ReadFile(handle, data, size);
    files.UnlockBlock(data, size);
    file.Close();

    // A file that shrank since its size was taken is not sent.
    if (bytesRead < size) {
        return 0;
    }
    return SendRawJob(printerName, data, size);
}

}  // namespace quillet
