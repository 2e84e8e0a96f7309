#include "printer/image_block.h"

#include <limits>

namespace quillet {

namespace {

// The image, open for reading, with its size as one job's length.
class OpenImage {
public:
    // Ok() is false when the file cannot be opened, and when the job's 32-bit
    // length could not hold it: an image of 4 GiB or more is refused rather
    // than sent cut to its lower 32 bits.
    OpenImage(ImageFiles& files, const std::string& path) : files_(files) {
        if (!files_.OpenFile(path, file_)) {
            file_ = 0;
            return;
        }
        const std::uint64_t size = files_.FileSize(file_);
        if (size > std::numeric_limits<std::uint32_t>::max()) {
            Close();
            return;
        }
        size_ = static_cast<std::uint32_t>(size);
    }
    ~OpenImage() { Close(); }
    OpenImage(const OpenImage&) = delete;
    OpenImage& operator=(const OpenImage&) = delete;

    bool Ok() const { return file_ != 0; }
    FileHandle Handle() const { return file_; }
    std::uint32_t Size() const { return size_; }

    // Closes early, once the file has been read; the destructor then does nothing.
    void Close() {
        if (file_ != 0) {
            files_.CloseFile(file_);
            file_ = 0;
        }
    }

private:
    ImageFiles& files_;
    FileHandle file_ = 0;
    std::uint32_t size_ = 0;
};

}  // namespace

bool ImageBlock::Read(ImageFiles& files, const std::string& path) {
    Release();
    OpenImage image(files, path);
    if (!image.Ok()) {
        return false;
    }
    const std::uint32_t size = image.Size();

    // An empty file ends here too: a block of size 0 is never obtained.
    void* data = files.AllocateBlock(size);
    if (data == nullptr) {
        return false;
    }
    files_ = &files;
    data_ = data;
    size_ = size;
    path_ = path;

    if (!files.LockBlock(data, size)) {
        Release();
        return false;
    }
    const std::uint32_t bytesRead = files.ReadFile(image.Handle(), data, size);
    files.UnlockBlock(data, size);
    image.Close();

    // A file that shrank since its size was taken is not sent.
    if (bytesRead < size) {
        Release();
        return false;
    }
    return true;
}

void ImageBlock::Release() {
    if (data_ != nullptr) {
        files_->ReleaseBlock(data_, size_);
    }
    files_ = nullptr;
    data_ = nullptr;
    size_ = 0;
    path_.clear();
}

}  // namespace quillet
