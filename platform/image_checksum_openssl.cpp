#include "platform/image_checksum_openssl.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_descriptor.h"

namespace quillet {

namespace {

// A checksum line is about 80 bytes; anything much larger is no checksum file.
constexpr off_t kLargestChecksumFile = 4096;

}  // namespace

ImageChecksums::Found OpenSslImageChecksums::ReadChecksumFile(const std::string& path,
                                                              std::string& text) {
    // O_NONBLOCK so that a FIFO of that name cannot hang the open.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0) {
        return errno == ENOENT ? Found::None : Found::Unreadable;
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size > kLargestChecksumFile) {
        return Found::Unreadable;
    }
    char buffer[kLargestChecksumFile + 1];
    std::size_t total = 0;
    while (total < sizeof buffer) {
        const ssize_t got = ::read(file.get(), buffer + total, sizeof buffer - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return Found::Unreadable;
        }
        if (got == 0) {
            break;
        }
        total += static_cast<std::size_t>(got);
    }
    // Grown past the size a checksum file can have since the fstat.
    if (total > static_cast<std::size_t>(kLargestChecksumFile)) {
        return Found::Unreadable;
    }
    text.assign(buffer, total);
    return Found::Read;
}

std::string OpenSslImageChecksums::Sha256(const void* data, std::size_t size) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data, size, digest, &length, EVP_sha256(), nullptr) != 1) {
        return {};
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0xF];
    }
    return hex;
}

}  // namespace quillet
