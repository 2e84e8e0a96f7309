// Starting another program on POSIX systems.
#pragma once

#include "wizard/process_launcher.h"

namespace quillet {

// Reads every '\' of the name as '/'. The program runs detached, by a double
// fork: the intermediate child is reaped at once, and the program itself is
// adopted by init, so it never becomes a zombie of ours and no SIGCHLD
// handler is needed. Returns false, having started nothing, when the file is
// missing, is not a regular executable file, or cannot be executed.
class PosixProcessLauncher : public ProcessLauncher {
public:
    bool StartProcess(const std::string& applicationName) override;
};

}  // namespace quillet
