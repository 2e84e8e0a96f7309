#include "printer/raw_job.h"

#include "printer/commands.h"

namespace quillet {

namespace {

// Closes the printer on every path once it is open.
class OpenPrinter {
public:
    OpenPrinter(Spooler& spooler, PrinterHandle handle) : spooler_(spooler), handle_(handle) {}
    ~OpenPrinter() { spooler_.ClosePrinter(handle_); }
    OpenPrinter(const OpenPrinter&) = delete;
    OpenPrinter& operator=(const OpenPrinter&) = delete;

private:
    Spooler& spooler_;
    PrinterHandle handle_;
};

}  // namespace

int SendRawJob(Spooler& spooler, const std::string& printerName, const void* data,
               std::uint32_t length) {
    if (printerName.empty()) {
        return 0;
    }

    PrinterHandle handle = 0;
    if (!spooler.OpenPrinter(printerName, handle)) {
        return 0;
    }
    OpenPrinter closeOnReturn(spooler, handle);

    const DocInfo docInfo{kJobDocumentName, kJobDataType};
    if (!spooler.StartDocPrinter(handle, docInfo)) {
        return 0;
    }
    if (!spooler.StartPagePrinter(handle)) {
        spooler.EndDocPrinter(handle);
        return 0;
    }

    // One single write. A failed or short write cancels the job: a cut-off
    // firmware image handed to a printer in download mode can leave it unusable.
    std::uint32_t written = 0;
    if (!spooler.WritePrinter(handle, data, length, written) || written != length) {
        spooler.AbortPrinter(handle);
        return 0;
    }

    if (!spooler.EndPagePrinter(handle)) {
        spooler.EndDocPrinter(handle);
        return 0;
    }
    if (!spooler.EndDocPrinter(handle)) {
        return 0;
    }
    return 1;
}

}  // namespace quillet
