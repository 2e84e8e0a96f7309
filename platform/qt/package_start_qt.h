// Where the Qt program finds its upgrade package (app/package_start.h): the
// folder a PATH on the command line names, entered before anything else, or
// for the applications menu's start the folder of the "quillet.txt" the user
// picks once the framework exists.
#pragma once

#include "app/package_start.h"
#include "platform/config_file_posix.h"
#include "platform/working_folder_posix.h"

namespace quillet {

class QtDialogFramework;

// The id of the package's desktop entry, com.tarvane.Quillet.desktop.
inline constexpr const char* kDesktopEntryId = "com.tarvane.Quillet";

// The configuration files of this start: none open when its package
// cannot be used, which start-up then refuses as a missing "quillet.txt".
class QtPackageStart : public ConfigFiles {
public:
    // A QApplication must exist. Enters the folder a PATH names.
    QtPackageStart(int argc, char** argv);

    // For the menu's start: asks for the package's "quillet.txt" in a file
    // dialog (the desktop's own, through the portal where there is one) and
    // enters its folder. False when the user cancelled: the program ends
    // with nothing read, written or sent.
    bool ChooseIfAsked(QtDialogFramework& framework);

    std::FILE* Open(const std::string& path) override;

private:
    PosixWorkingFolder folder_;
    PosixConfigFiles configFiles_;
    PackageStart start_;
};

}  // namespace quillet
