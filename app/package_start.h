// Where a run finds its upgrade package. Started from a terminal, the program
// runs in the folder it was started in; `quillet PATH` names the package's
// "quillet.txt" or its folder instead (the file manager's start, through the
// desktop entry); `quillet --choose-package` has the user pick the file first
// (the applications menu's start). Back end of the working folder:
// platform/working_folder_posix.cpp.
#pragma once

#include <string>
#include <vector>

namespace quillet {

// The desktop entry's option: without a PATH after it, the user is asked for
// the package's "quillet.txt" before anything else.
inline constexpr const char* kChoosePackageOption = "--choose-package";

class WorkingFolder {
public:
    virtual ~WorkingFolder() = default;
    // Makes `folder` the process's working folder; false when it is no
    // folder, or one that cannot be entered.
    virtual bool Enter(const std::string& folder) = 0;
};

enum class PackageStart {
    StartFolder,    // no PATH: the folder the program was started in
    PackageFolder,  // the named package's folder, now the working folder
    ChooseFile,     // the menu's start: the user picks the file first
    Unusable,       // the configuration box follows, as for a missing file
};

// Reads the arguments after the program's name: [--choose-package] [PATH].
// Enters the folder a PATH names; anything more is Unusable.
PackageStart StartFromArguments(const std::vector<std::string>& arguments, WorkingFolder& folder);

// Enters the package folder `path` names: a folder itself, or the folder of
// a file named "quillet.txt". PackageFolder when it could, Unusable otherwise.
PackageStart EnterPackageFolder(const std::string& path, WorkingFolder& folder);

}  // namespace quillet
