#include "app/package_start.h"

#include "app/upgrade_app.h"

namespace quillet {

PackageStart StartFromArguments(const std::vector<std::string>& arguments, WorkingFolder& folder) {
    auto path = arguments.begin();
    const bool choose = path != arguments.end() && *path == kChoosePackageOption;
    if (choose) {
        ++path;
    }
    if (path == arguments.end()) {
        return choose ? PackageStart::ChooseFile : PackageStart::StartFolder;
    }
    if (path + 1 != arguments.end()) {
        return PackageStart::Unusable;
    }
    return EnterPackageFolder(*path, folder);
}

PackageStart EnterPackageFolder(const std::string& path, WorkingFolder& folder) {
    if (path.empty()) {
        return PackageStart::Unusable;
    }
    if (folder.Enter(path)) {
        return PackageStart::PackageFolder;
    }
    // Not a folder: then it must be the package's configuration file, by
    // name, for its folder to be the package's.
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name != kConfigFileName) {
        return PackageStart::Unusable;
    }
    std::string parent = ".";
    if (slash != std::string::npos) {
        parent = slash == 0 ? "/" : path.substr(0, slash);
    }
    return folder.Enter(parent) ? PackageStart::PackageFolder : PackageStart::Unusable;
}

}  // namespace quillet
