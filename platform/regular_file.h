// Opening a file for reading that must be a regular one, on POSIX systems.
#pragma once

#include <string>

#include "platform/file_descriptor.h"

namespace quillet {

enum class Links { Followed, NotFollowed };

// Opens `path` for reading when it is a regular file, and never waits: the
// open is non-blocking, since a FIFO would hold it until a writer came,
// perhaps for ever, and reads block again once the file is known to be
// regular. With Links::NotFollowed a symbolic link as the last part is
// refused. On failure it holds no descriptor, and errno is open(2)'s error
// (ELOOP for such a link, ENXIO for a socket), or EINVAL for a folder, a
// FIFO or a device.
FileDescriptor OpenRegularFile(const std::string& path, Links links = Links::Followed);

}  // namespace quillet
