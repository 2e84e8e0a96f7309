// The maker's checksum of the firmware image: "<image>.sha256" beside it, as
// `sha256sum` writes it, and the SHA-256 digest to compare it with.
// Back ends: platform/image_checksum_openssl.cpp; NoImageChecksums() below.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

class ImageChecksums {
public:
    virtual ~ImageChecksums() = default;

    enum class Found { None, Read, Unreadable };

    // Reads the checksum file at `path` into `text`. None only when no file
    // of that name exists; Unreadable when one exists but cannot be read
    // whole: no regular file, no access, or larger than a checksum file can be.
    virtual Found ReadChecksumFile(const std::string& path, std::string& text) = 0;

    // The SHA-256 digest of the bytes as 64 lower-case hex digits; empty on
    // an error.
    virtual std::string Sha256(const void* data, std::size_t size) = 0;
};

// For builds without a back end: no checksum file is ever found.
inline ImageChecksums& NoImageChecksums() {
    class None : public ImageChecksums {
    public:
        Found ReadChecksumFile(const std::string&, std::string&) override { return Found::None; }
        std::string Sha256(const void*, std::size_t) override { return {}; }
    };
    static None none;
    return none;
}

// Whether `text` is one line as `sha256sum` writes it (64 hex digits, a
// space, a space or "*", the file's name), naming `fileName` with the digest
// `sha256` (64 lower-case hex digits). A final CR LF is taken as LF.
bool ChecksumLineMatches(const std::string& text, const std::string& fileName,
                         const std::string& sha256);

}  // namespace quillet
