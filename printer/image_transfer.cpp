#include "printer/image_transfer.h"

#include "printer/raw_job.h"

namespace quillet {

namespace {

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
