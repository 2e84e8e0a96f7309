#include "platform/working_folder_posix.h"

#include <unistd.h>

namespace quillet {

bool PosixWorkingFolder::Enter(const std::string& folder) {
    if (folder.find('\0') != std::string::npos) {
        return false;
    }
    // A folder that cannot be read is refused as one that cannot be
    // entered, even where its files could be opened by name.
    return ::access(folder.c_str(), R_OK | X_OK) == 0 && ::chdir(folder.c_str()) == 0;
}

}  // namespace quillet
