// Opening the configuration file on POSIX systems.
#pragma once

#include "config/config_file.h"

namespace quillet {

// Opens regular files only. The open itself cannot wait: a FIFO would block
// it until a writer came.
class PosixConfigFiles : public ConfigFiles {
public:
    std::FILE* Open(const std::string& path) override;
};

}  // namespace quillet
