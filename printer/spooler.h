// The print spooler, as the printer operations use it.
// Back ends: platform/spooler_cups.cpp (CUPS); tests/doubles (recording double).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

// An open printer. Only the back end that issued it knows what it stands for;
// 0 is never a valid handle.
using PrinterHandle = std::uintptr_t;

// What the scheduler says of a job now.
struct JobStatus {
    enum class State { Unknown, Pending, Held, Processing, Stopped, Canceled, Aborted, Completed };
    State state = State::Unknown;  // Unknown: no such job, or the spooler cannot be asked
    int percentSent = -1;          // the share sent on to the printer; -1 when not reported
    std::string printerMessage;    // the printer's own latest message; may be empty
    bool printerProblem = false;   // that message or the printer's state reports a problem
};

// The job description every job is started with.
struct DocInfo {
    std::string documentName;  // "My Document"
    std::string dataType;      // "RAW"
};

class Spooler {
public:
    virtual ~Spooler() = default;

    // Opens the printer of that exact name. True and a handle when it exists and
    // can be opened; false otherwise, with nothing to close.
    virtual bool OpenPrinter(const std::string& printerName, PrinterHandle& handle) = 0;

    // Starts one job with the given description. False when no job was started.
    virtual bool StartDocPrinter(PrinterHandle handle, const DocInfo& docInfo) = 0;

    virtual bool StartPagePrinter(PrinterHandle handle) = 0;

    // Hands the buffer to the spooler in one call. True when the write
    // succeeded; `written` then says how many bytes the spooler took.
    virtual bool WritePrinter(PrinterHandle handle, const void* data, std::uint32_t length,
                              std::uint32_t& written) = 0;

    virtual bool EndPagePrinter(PrinterHandle handle) = 0;

    // Ends the job: an ended job is complete and goes to the printer.
    virtual bool EndDocPrinter(PrinterHandle handle) = 0;

    // Cancels the job that is being written, so that no part of it reaches
    // the printer. The handle stays open and must still be closed.
    virtual bool AbortPrinter(PrinterHandle handle) = 0;

    // Releases the handle. Always called once for every successful open.
    virtual void ClosePrinter(PrinterHandle handle) = 0;

    // The names of the printers installed on this computer, in the spooler's
    // order; empty when there are none or the spooler cannot be asked.
    virtual std::vector<std::string> EnumLocalPrinters() = 0;

    // The state of the last job that was ended on a handle that has since
    // been closed. Asked from a thread of its own, never while a job runs:
    // it returns within about a second, and soon after `giveUp` turns true.
    // A spooler that cannot follow its jobs keeps this default.
    virtual JobStatus LastJobStatus(const std::atomic<bool>& /*giveUp*/) { return {}; }

    // Every later wait of a job for the spooler ends soon after `quit` turns
    // true, and the call waiting fails as when the spooler stops answering
    // (a stalled spooler ends it too, after a long silence). The flag must
    // outlive the spooler. A spooler that never waits ignores it.
    virtual void EndWaitsOnQuit(const std::atomic<bool>& /*quit*/) {}

    // False when there is no back end behind this spooler at all, so that it
    // can never list or reach a printer, whatever is installed.
    virtual bool HasBackEnd() { return true; }
};

}  // namespace quillet
