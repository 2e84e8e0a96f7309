// The print spooler on Linux: the local CUPS scheduler, through libcups.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "printer/spooler.h"

namespace quillet {

// Talks to the scheduler libcups finds by itself: the system's, or the one
// that CUPS_SERVER or ~/.cups/client.conf names. A printer is a queue of that
// scheduler, by its exact queue name.
//
// A job is Create-Job with the document name as its title and job-sheets
// "none", so no banner page can end up inside a firmware image. The write
// sends the whole buffer as the job's one raw document in a single
// Send-Document request; EndDocPrinter finishes that request, and only then
// can the scheduler print the job. AbortPrinter drops the unfinished request
// and cancels the job; so does ClosePrinter for a job that was neither ended
// nor aborted, so that no part of a half-sent job is ever printed.
//
// Beyond the interface's contract: StartDocPrinter fails for a queue that is
// stopped or rejects jobs, since the user is about to watch the printer act
// on the job and a parked job would print at some later, unexpected moment.
// For the same reason EndDocPrinter fails, and cancels the job, when at the
// end of the document the job is held or its queue is stopped.
// Only the data type "RAW" is accepted. libcups never prompts for a password
// on the terminal: a scheduler that wants one refuses the request instead.
//
// A job's requests wait for the scheduler in slices of a quarter second.
// They fail once the flag given to EndWaitsOnQuit is set, or after 30
// seconds in which the scheduler neither took nor sent a byte; the job is
// then cancelled as after any failed write, over a fresh connection that
// gives up as soon.
class CupsSpooler : public Spooler {
public:
    CupsSpooler();
    // Cancels any unfinished job and drops every connection still open.
    ~CupsSpooler() override;
    CupsSpooler(const CupsSpooler&) = delete;
    CupsSpooler& operator=(const CupsSpooler&) = delete;

    bool OpenPrinter(const std::string& printerName, PrinterHandle& handle) override;
    bool StartDocPrinter(PrinterHandle handle, const DocInfo& docInfo) override;
    bool StartPagePrinter(PrinterHandle handle) override;
    bool WritePrinter(PrinterHandle handle, const void* data, std::uint32_t length,
                      std::uint32_t& written) override;
    bool EndPagePrinter(PrinterHandle handle) override;
    bool EndDocPrinter(PrinterHandle handle) override;
    bool AbortPrinter(PrinterHandle handle) override;
    void ClosePrinter(PrinterHandle handle) override;

    // The scheduler's own queues, printers and classes, as CUPS-Get-Printers
    // lists them; printers merely discovered on the network, and the
    // temporary queues the scheduler makes for them, are left out.
    std::vector<std::string> EnumLocalPrinters() override;

    // Get-Job-Attributes and Get-Printer-Attributes, on a connection of its
    // own, each given up after a second of silence. A printer problem is a
    // printer-state-reason of severity warning or error, or a
    // job-printer-state-message (the scheduler keeps the backend's warnings
    // and errors there) that is still the printer's latest message.
    JobStatus LastJobStatus(const std::atomic<bool>& giveUp) override;

    void EndWaitsOnQuit(const std::atomic<bool>& quit) override { quit_ = &quit; }

private:
    struct OpenQueue;
    OpenQueue* Find(PrinterHandle handle);
    // The open queue of a handle whose job is started and not yet ended or
    // aborted; nullptr otherwise.
    OpenQueue* FindUnfinishedJob(PrinterHandle handle);

    std::map<PrinterHandle, std::unique_ptr<OpenQueue>> open_;
    PrinterHandle next_ = 1;
    std::string lastJobPrinter_;  // of the last ended job
    int lastJobId_ = 0;
    const std::atomic<bool>* quit_ = nullptr;
};

}  // namespace quillet
