#include "platform/spooler_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <utility>

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

}  // namespace

ModuleSpooler::ModuleSpooler(std::string moduleFileName)
    : moduleFileName_(std::move(moduleFileName)) {}

ModuleSpooler::~ModuleSpooler() = default;

Spooler* ModuleSpooler::Loaded() {
    if (triedToLoad_) {
        return spooler_.get();
    }
    triedToLoad_ = true;
    const std::string folder = ExecutableFolder();
    if (folder.empty()) {
        return nullptr;
    }
    // Full paths only: the library search path never supplies the back end.
    for (const std::string& path :
         {folder + moduleFileName_, folder + "../lib/quillet/" + moduleFileName_}) {
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            continue;
        }
        const auto create =
            reinterpret_cast<SpoolerModuleEntry>(::dlsym(module, kSpoolerModuleEntry));
        if (create != nullptr) {
            spooler_.reset(create());
            if (quit_ != nullptr) {
                spooler_->EndWaitsOnQuit(*quit_);
            }
            break;
        }
        ::dlclose(module);
    }
    return spooler_.get();
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
