// Starting another program of the upgrade package.
// Back end: platform/process_posix.cpp; tests/doubles.
#pragma once

#include <string>

namespace quillet {

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;

    // Starts the program file `applicationName` (a path relative to the
    // current directory, with '\' as directory separator as the package
    // writes it) in the current directory, with this process's environment,
    // and does not wait for it. False when nothing could be started.
    virtual bool StartProcess(const std::string& applicationName) = 0;
};

}  // namespace quillet
