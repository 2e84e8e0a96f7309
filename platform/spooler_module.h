// The print spooler of the program: a back end in a shared module, loaded on
// first use, so that libcups and the libraries it pulls in stay off the way
// to the first page.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "printer/spooler.h"

namespace quillet {

// What a spooler module exports: a function, under this name, that makes its
// spooler (platform/spooler_cups_module.cpp).
inline constexpr const char* kSpoolerModuleEntry = "quillet_create_spooler";
using SpoolerModuleEntry = Spooler* (*)();

// And a std::uint32_t under this name: the version of what the program and the
// module share, Spooler and its types (printer/spooler.h) and the entry. Raise
// it with any change to them; a module of another version is not loaded.
inline constexpr const char* kSpoolerModuleAbiSymbol = "quillet_spooler_abi";
inline constexpr std::uint32_t kSpoolerModuleAbi = 1;

// Loads the module at the first call of any method: the file of that name
// next to the executable, else in ../lib/quillet/ relative to it
// (/usr/lib/quillet/ beside /usr/bin/quillet). A file is loaded only when it
// lies whole on disk and its version is the program's. When neither loads,
// the reasons go to stderr, HasBackEnd() is false and every call fails as with
// a spooler that cannot be reached: no printers, no open.
class ModuleSpooler : public Spooler {
public:
    explicit ModuleSpooler(std::string moduleFileName);
    // Ends the loaded spooler. The module stays loaded: libcups registers
    // per-thread clean-up that must not outlive its code.
    ~ModuleSpooler() override;
    ModuleSpooler(const ModuleSpooler&) = delete;
    ModuleSpooler& operator=(const ModuleSpooler&) = delete;

    bool OpenPrinter(const std::string& printerName, PrinterHandle& handle) override;
    bool StartDocPrinter(PrinterHandle handle, const DocInfo& docInfo) override;
    bool StartPagePrinter(PrinterHandle handle) override;
    bool WritePrinter(PrinterHandle handle, const void* data, std::uint32_t length,
                      std::uint32_t& written) override;
    bool EndPagePrinter(PrinterHandle handle) override;
    bool EndDocPrinter(PrinterHandle handle) override;
    bool AbortPrinter(PrinterHandle handle) override;
    void ClosePrinter(PrinterHandle handle) override;
    std::vector<std::string> EnumLocalPrinters() override;
    JobStatus LastJobStatus(const std::atomic<bool>& giveUp) override;
    // Passed on to the module's spooler once it is loaded.
    void EndWaitsOnQuit(const std::atomic<bool>& quit) override;
    bool HasBackEnd() override;

private:
    // The module's spooler, loaded at the first call; nullptr when it cannot be.
    Spooler* Loaded();

    std::string moduleFileName_;
    bool triedToLoad_ = false;
    std::unique_ptr<Spooler> spooler_;
    const std::atomic<bool>* quit_ = nullptr;
};

}  // namespace quillet
