#include "platform/spooler_module.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/file_descriptor.h"
#include "platform/module_file.h"

namespace quillet {

namespace {

// The folder of the running executable, with its trailing '/'; empty when
// it cannot be found.
std::string ExecutableFolder() {
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) {
        return {};
    }
    path.resize(static_cast<std::size_t>(length));
    return path.substr(0, path.rfind('/') + 1);
}

// Loads the module at `path` once its file has passed the checks, and returns
// its entry; nullptr, and why in `reason`, when it cannot be used.
SpoolerModuleEntry LoadModule(const std::string& path, std::string& reason) {
    // Not blocking, so that a FIFO in its place cannot hold the page up.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status = {};
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0) {
        reason = std::strerror(errno);
        return nullptr;
    }
    if (!S_ISREG(status.st_mode)) {
        reason = "not a regular file";
        return nullptr;
    }
    std::string start(kModuleStartBytes, '\0');
    std::size_t got = 0;
    while (got < start.size()) {
        const ssize_t read =
            ::pread(file.get(), start.data() + got, start.size() - got, static_cast<off_t>(got));
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read < 0) {
            reason = std::strerror(errno);
            return nullptr;
        }
        if (read == 0) {
            break;
        }
        got += static_cast<std::size_t>(read);
    }
    start.resize(got);
    reason = ModuleFileProblem(start, static_cast<std::uint64_t>(status.st_size));
    if (!reason.empty()) {
        return nullptr;
    }

    // Through the descriptor: the file that was checked, even if the path
    // has been given another file since (a package upgrade under way).
    const std::string checked = "/proc/self/fd/" + std::to_string(file.get());
    void* module = ::dlopen(checked.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* error = ::dlerror();
        reason = error != nullptr ? error : "cannot be loaded";
        return nullptr;
    }
    const auto* abi = static_cast<const std::uint32_t*>(::dlsym(module, kSpoolerModuleAbiSymbol));
    const auto create = reinterpret_cast<SpoolerModuleEntry>(::dlsym(module, kSpoolerModuleEntry));
    if (abi == nullptr || create == nullptr) {
        reason = "not a Quillet spooler module";
    } else if (*abi != kSpoolerModuleAbi) {
        reason = "made for version " + std::to_string(*abi) +
                 " of the spooler interface; this program uses version " +
                 std::to_string(kSpoolerModuleAbi);
    } else {
        return create;
    }
    ::dlclose(module);
    return nullptr;
}

}  // namespace

ModuleSpooler::ModuleSpooler(std::string moduleFileName)
    : moduleFileName_(std::move(moduleFileName)) {}

ModuleSpooler::~ModuleSpooler() = default;

Spooler* ModuleSpooler::Loaded() {
    if (triedToLoad_) {
        return spooler_.get();
    }
    triedToLoad_ = true;
    // Full paths only: the library search path never supplies the back end.
    const std::string folder = ExecutableFolder();
    std::vector<std::string> candidates;
    if (!folder.empty()) {
        candidates = {folder + moduleFileName_, folder + "../lib/quillet/" + moduleFileName_};
    }
    std::string reasons = folder.empty() ? "\n  the program's own folder cannot be found" : "";
    for (const std::string& path : candidates) {
        std::string reason;
        if (const SpoolerModuleEntry create = LoadModule(path, reason)) {
            spooler_.reset(create());
            if (quit_ != nullptr) {
                spooler_->EndWaitsOnQuit(*quit_);
            }
            return spooler_.get();
        }
        reasons += "\n  " + path + ": " + reason;
    }
    std::fprintf(stderr,
                 "quillet: no printer can be listed, since no print spooler module loads:%s\n",
                 reasons.c_str());
    return nullptr;
}

bool ModuleSpooler::HasBackEnd() {
    return Loaded() != nullptr;
}

bool ModuleSpooler::OpenPrinter(const std::string& printerName, PrinterHandle& handle) {
    Spooler* spooler = Loaded();
    return spooler != nullptr && spooler->OpenPrinter(printerName, handle);
}

bool ModuleSpooler::StartDocPrinter(PrinterHandle handle, const DocInfo& docInfo) {
    Spooler* spooler = Loaded();
    return spooler != nullptr && spooler->StartDocPrinter(handle, docInfo);
}

bool ModuleSpooler::StartPagePrinter(PrinterHandle handle) {
    Spooler* spooler = Loaded();
    return spooler != nullptr && spooler->StartPagePrinter(handle);
}

bool ModuleSpooler::WritePrinter(PrinterHandle handle, const void* data, std::uint32_t length,
                                 std::uint32_t& written) {
    Spooler* spooler = Loaded();
    if (spooler == nullptr) {
        written = 0;
        return false;
    }
    return spooler->WritePrinter(handle, data, length, written);
}

bool ModuleSpooler::EndPagePrinter(PrinterHandle handle) {
    Spooler* spooler = Loaded();
    return spooler != nullptr && spooler->EndPagePrinter(handle);
}

bool ModuleSpooler::EndDocPrinter(PrinterHandle handle) {
    Spooler* spooler = Loaded();
    return spooler != nullptr && spooler->EndDocPrinter(handle);
}

bool ModuleSpooler::AbortPrinter(PrinterHandle handle) {
    Spooler* spooler = Loaded();
    return spooler != nullptr && spooler->AbortPrinter(handle);
}

void ModuleSpooler::ClosePrinter(PrinterHandle handle) {
    if (Spooler* spooler = Loaded()) {
        spooler->ClosePrinter(handle);
    }
}

std::vector<std::string> ModuleSpooler::EnumLocalPrinters() {
    Spooler* spooler = Loaded();
    return spooler != nullptr ? spooler->EnumLocalPrinters() : std::vector<std::string>();
}

JobStatus ModuleSpooler::LastJobStatus(const std::atomic<bool>& giveUp) {
    // Only ever asked after a job, so the module is loaded by then and this
    // thread never loads it.
    Spooler* spooler = triedToLoad_ ? spooler_.get() : nullptr;
    return spooler != nullptr ? spooler->LastJobStatus(giveUp) : JobStatus();
}

void ModuleSpooler::EndWaitsOnQuit(const std::atomic<bool>& quit) {
    quit_ = &quit;
    if (spooler_ != nullptr) {
        spooler_->EndWaitsOnQuit(quit);
    }
}

}  // namespace quillet
