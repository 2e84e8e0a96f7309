#include "printer/image_transfer.h"

#include <limits>

#include "printer/raw_job.h"

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

// Whether the image read matches the maker's checksum file beside it, when
// the package carries one. The digest is taken over the block, not the file:
// those bytes are what the printer gets.
bool MatchesItsChecksum(ImageChecksums& checksums, const std::string& path,
                        const ImageBlock& image) {
    std::string text;
    switch (checksums.ReadChecksumFile(path + ".sha256", text)) {
        case ImageChecksums::Found::None:
            return true;
        case ImageChecksums::Found::Unreadable:
            return false;
        case ImageChecksums::Found::Read:
            break;
    }
    const std::size_t slash = path.find_last_of('/');
    const std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    return ChecksumLineMatches(text, fileName, checksums.Sha256(image.Data(), image.Size()));
}

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

int CheckImageFile(const ImageTransfer& image, const std::string& path) {
    if (!image.block.Read(image.files, path) ||
        !MatchesItsChecksum(image.checksums, path, image.block)) {
        image.block.Release();
        return 0;
    }
    return 1;
}

int SendImageFile(Spooler& spooler, const ImageTransfer& image, const std::string& printerName,
                  const std::string& path) {
    // The block the check read before download mode; read here only when
    // no check came first.
    if (!image.block.Holds(path) && !CheckImageFile(image, path)) {
        return 0;
    }
    const int sent = SendRawJob(spooler, printerName, image.block.Data(), image.block.Size());
    image.block.Release();
    return sent;
}

}  // namespace quillet
