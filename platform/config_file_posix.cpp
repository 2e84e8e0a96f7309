#include "platform/config_file_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet {

std::FILE* PosixConfigFiles::Open(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        return nullptr;
    }
    // O_NONBLOCK so that opening a FIFO cannot hang; cleared below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    struct stat status {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        ::close(fd);
    }
    return file;
}

}  // namespace quillet
