#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace quillet {

namespace {

// Closes `file` without losing the error that made it fail.
FileDescriptor Refuse(FileDescriptor& file, int error) {
    file.Close();
    errno = error;
    return FileDescriptor();
}

}  // namespace

FileDescriptor OpenRegularFile(const std::string& path, Links links) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        errno = ENOENT;
        return FileDescriptor();
    }
    const int noFollow = links == Links::NotFollowed ? O_NOFOLLOW : 0;
    FileDescriptor file(
        ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | noFollow));
    if (!file) {
        return file;
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        return Refuse(file, errno);
    }
    if (!S_ISREG(status.st_mode)) {
        return Refuse(file, EINVAL);
    }
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return Refuse(file, errno);
    }
    return file;
}

}  // namespace quillet
