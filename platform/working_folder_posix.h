// The process's working folder on POSIX systems.
#pragma once

#include "app/package_start.h"

namespace quillet {

class PosixWorkingFolder : public WorkingFolder {
public:
    bool Enter(const std::string& folder) override;
};

}  // namespace quillet
