// Opening "quillet.txt" for the reader.
// Back ends: platform/config_file_posix.cpp; StandardConfigFiles() below.
#pragma once

#include <cstdio>
#include <string>

namespace quillet {

class ConfigFiles {
public:
    virtual ~ConfigFiles() = default;

    // Opens the file to read its bytes as stored; the caller closes it with
    // std::fclose. nullptr when it cannot be opened, and where the platform
    // can tell, when it is no regular file: a FIFO or a device could keep
    // the first read waiting forever.
    virtual std::FILE* Open(const std::string& path) = 0;
};

// std::fopen in binary mode, for builds without a platform back end.
ConfigFiles& StandardConfigFiles();

}  // namespace quillet
