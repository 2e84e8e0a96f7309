#include "platform/config_file_posix.h"

#include "platform/regular_file.h"

namespace quillet {

std::FILE* PosixConfigFiles::Open(const std::string& path) {
    FileDescriptor file = OpenRegularFile(path);
    if (!file) {
        return nullptr;
    }
    std::FILE* stream = ::fdopen(file.get(), "rb");
    if (stream != nullptr) {
        file.Release();  // the stream closes it
    }
    return stream;
}

}  // namespace quillet
