#include "platform/spooler_cups.h"

#include <strings.h>

#include <algorithm>
#include <chrono>
#include <string_view>

#include "platform/cups_handles.h"

namespace quillet {

namespace {

constexpr int kConnectTimeoutMs = 30000;

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long a job's request waits for a scheduler that neither takes nor
// sends a byte: as long as connecting to it may take.
constexpr milliseconds kJobSilenceLimit(kConnectTimeoutMs);
constexpr milliseconds kJobWaitSlice(250);

// Decides, each time libcups has waited a slice for the scheduler in vain,
// whether to wait on: not once `giveUp` is set, nor once the silence has
// lasted `limit`.
class SilenceLimit {
public:
    SilenceLimit(milliseconds slice, milliseconds limit) : slice_(slice), limit_(limit) {}
    SilenceLimit(const SilenceLimit&) = delete;
    SilenceLimit& operator=(const SilenceLimit&) = delete;

    // Applies to every later wait on `http`, which must not outlive this.
    void Watch(http_t* http, const std::atomic<bool>* giveUp) {
        giveUp_ = giveUp;
        lastCall_ = {};
        httpSetTimeout(http, std::chrono::duration<double>(slice_).count(), KeepWaiting, this);
    }

private:
    static int KeepWaiting(http_t*, void* self) {
        return static_cast<SilenceLimit*>(self)->KeepWaiting() ? 1 : 0;
    }

    bool KeepWaiting() {
        if (giveUp_ != nullptr && giveUp_->load()) {
            return false;
        }
        // libcups asks once per silent slice; a longer gap since the last
        // call means the connection moved in between.
        const Clock::time_point now = Clock::now();
        if (lastCall_ == Clock::time_point() || now - lastCall_ > 2 * slice_) {
            silentSince_ = now - slice_;
        }
        lastCall_ = now;
        return now - silentSince_ < limit_;
    }

    const milliseconds slice_;
    const milliseconds limit_;
    const std::atomic<bool>* giveUp_ = nullptr;
    Clock::time_point silentSince_;
    Clock::time_point lastCall_;
};

enum class JobState {
    None,     // no job started on this handle
    Created,  // Create-Job done, no document yet
    Sending,  // Send-Document under way, not finished
    Ended,    // the document is finished: the job may print
    Aborted,  // cancelled; nothing of it is printed
};

// A GUI has no terminal to ask on; a refused request is reported as failed.
const char* NoPassword(const char*, http_t*, const char*, const char*, void*) {
    return nullptr;
}

HttpConnection ConnectToScheduler(int timeoutMs = kConnectTimeoutMs) {
    return HttpConnection(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC,
                                       cupsEncryption(), 1, timeoutMs, nullptr));
}

bool Succeeded(ipp_status_t status) {
    return status <= IPP_STATUS_OK_EVENTS_COMPLETE;
}

// Sends the request (which it frees) and returns the response, or nothing
// when the scheduler refused it or could not be asked.
IppMessage Ask(const HttpConnection& http, ipp_t* request) {
    IppMessage response(cupsDoRequest(http.get(), request, "/"));
    if (response && !Succeeded(ippGetStatusCode(response.get()))) {
        response.reset();
    }
    return response;
}

ipp_t* PrinterRequest(ipp_op_t operation, const std::string& printerName) {
    char uri[HTTP_MAX_URI];
    if (httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost",
                         ippPort(), "/printers/%s", printerName.c_str()) != HTTP_URI_STATUS_OK) {
        return nullptr;
    }
    ipp_t* request = ippNewRequest(operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    return request;
}

// The queue's printer-state; stopped also when it cannot be asked.
int QueueState(const HttpConnection& http, const std::string& printerName) {
    ipp_t* request = PrinterRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, printerName);
    if (request == nullptr) {
        return IPP_PSTATE_STOPPED;
    }
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "printer-state");
    const IppMessage printer = Ask(http, request);
    ipp_attribute_t* state =
        printer ? ippFindAttribute(printer.get(), "printer-state", IPP_TAG_ENUM) : nullptr;
    return state != nullptr ? ippGetInteger(state, 0) : IPP_PSTATE_STOPPED;
}

}  // namespace

struct CupsSpooler::OpenQueue {
    std::string name;
    int jobId = 0;
    JobState state = JobState::None;
    SilenceLimit silence{kJobWaitSlice, kJobSilenceLimit};
    const std::atomic<bool>* quit = nullptr;
    // After `silence`, which watches it: it closes first.
    HttpConnection http;

    bool Connect() {
        http = ConnectToScheduler();
        if (http) {
            silence.Watch(http.get(), quit);
        }
        return static_cast<bool>(http);
    }

    // Opens the job's one raw document, unless it is already open.
    bool StartDocument() {
        if (state == JobState::Created) {
            if (cupsStartDocument(http.get(), name.c_str(), jobId, nullptr, CUPS_FORMAT_RAW, 1) !=
                HTTP_STATUS_CONTINUE) {
                return false;
            }
            state = JobState::Sending;
        }
        return true;
    }

    // Drops the unfinished request first, so that the document can never be
    // completed, then cancels the job over a fresh connection.
    bool Cancel() {
        http.reset();
        state = JobState::Aborted;
        return Connect() && Succeeded(cupsCancelJob2(http.get(), name.c_str(), jobId, 0));
    }
};

CupsSpooler::CupsSpooler() {
    cupsSetPasswordCB2(NoPassword, nullptr);
}

CupsSpooler::~CupsSpooler() {
    while (!open_.empty()) {
        ClosePrinter(open_.begin()->first);
    }
}

CupsSpooler::OpenQueue* CupsSpooler::Find(PrinterHandle handle) {
    auto found = open_.find(handle);
    return found == open_.end() ? nullptr : found->second.get();
}

bool CupsSpooler::OpenPrinter(const std::string& printerName, PrinterHandle& handle) {
    if (printerName.empty() || printerName.find('\0') != std::string::npos) {
        return false;
    }
    auto queue = std::make_unique<OpenQueue>();
    queue->name = printerName;
    queue->quit = quit_;
    if (!queue->Connect()) {
        return false;
    }

    ipp_t* request = PrinterRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, printerName);
    if (request == nullptr) {
        return false;
    }
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "printer-name");
    if (!Ask(queue->http, request)) {
        return false;
    }

    handle = next_++;
    open_[handle] = std::move(queue);
    return true;
}

bool CupsSpooler::StartDocPrinter(PrinterHandle handle, const DocInfo& docInfo) {
    OpenQueue* queue = Find(handle);
    if (queue == nullptr || queue->state != JobState::None || !queue->http ||
        ::strcasecmp(docInfo.dataType.c_str(), "RAW") != 0) {
        return false;
    }

    // A stopped queue still takes jobs but holds them; see the header.
    ipp_t* request = PrinterRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, queue->name);
    if (request == nullptr) {
        return false;
    }
    static const char* const kStateAttributes[] = {"printer-state", "printer-is-accepting-jobs"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr,
                  kStateAttributes);
    const IppMessage printer = Ask(queue->http, request);
    if (!printer) {
        return false;
    }
    ipp_attribute_t* state = ippFindAttribute(printer.get(), "printer-state", IPP_TAG_ENUM);
    ipp_attribute_t* accepting =
        ippFindAttribute(printer.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
    if (state == nullptr || ippGetInteger(state, 0) == IPP_PSTATE_STOPPED || accepting == nullptr ||
        !ippGetBoolean(accepting, 0)) {
        return false;
    }

    cups_option_t* options = nullptr;
    const int optionCount = cupsAddOption("job-sheets", "none", 0, &options);
    queue->jobId = cupsCreateJob(queue->http.get(), queue->name.c_str(),
                                 docInfo.documentName.c_str(), optionCount, options);
    cupsFreeOptions(optionCount, options);
    if (queue->jobId <= 0) {
        return false;
    }
    queue->state = JobState::Created;
    return true;
}

CupsSpooler::OpenQueue* CupsSpooler::FindUnfinishedJob(PrinterHandle handle) {
    OpenQueue* queue = Find(handle);
    const bool unfinished = queue != nullptr && (queue->state == JobState::Created ||
                                                 queue->state == JobState::Sending);
    return unfinished ? queue : nullptr;
}

bool CupsSpooler::StartPagePrinter(PrinterHandle handle) {
    return FindUnfinishedJob(handle) != nullptr;
}

bool CupsSpooler::WritePrinter(PrinterHandle handle, const void* data, std::uint32_t length,
                               std::uint32_t& written) {
    written = 0;
    OpenQueue* queue = FindUnfinishedJob(handle);
    if (queue == nullptr) {
        return false;
    }
    if (!queue->StartDocument()) {
        return false;
    }
    // libcups reads a write of nothing as the end of the document.
    if (length == 0) {
        return true;
    }
    if (cupsWriteRequestData(queue->http.get(), static_cast<const char*>(data), length) !=
        HTTP_STATUS_CONTINUE) {
        return false;
    }
    written = length;
    return true;
}

bool CupsSpooler::EndPagePrinter(PrinterHandle handle) {
    return StartPagePrinter(handle);
}

bool CupsSpooler::EndDocPrinter(PrinterHandle handle) {
    OpenQueue* queue = FindUnfinishedJob(handle);
    if (queue == nullptr) {
        return false;
    }
    // A job without a single write still ends as one empty document.
    if (!queue->StartDocument()) {
        return false;
    }
    // Finishes the Send-Document request, as cupsFinishDocument does, but
    // keeps the answer: it holds the job's state at the moment the scheduler
    // took the document. The job is not asked about afterwards, since a
    // scheduler that keeps no job history may already have purged it once
    // printed. On failure the job stays unfinished, and closing the handle
    // cancels it.
    const std::string resource = "/printers/" + queue->name;
    const IppMessage finished(cupsGetResponse(queue->http.get(), resource.c_str()));
    if (!finished || !Succeeded(ippGetStatusCode(finished.get()))) {
        return false;
    }
    ipp_attribute_t* state = ippFindAttribute(finished.get(), "job-state", IPP_TAG_ENUM);
    const int jobState = state != nullptr ? ippGetInteger(state, 0) : 0;
    // Someone cancelled the job meanwhile: it never reaches the printer.
    if (jobState == IPP_JSTATE_CANCELED || jobState == IPP_JSTATE_ABORTED) {
        return false;
    }
    // A held job, or a job in a stopped queue, would print at some later,
    // unexpected moment; like StartDocPrinter, refuse to leave it parked.
    if (jobState == 0 || jobState == IPP_JSTATE_HELD ||
        QueueState(queue->http, queue->name) == IPP_PSTATE_STOPPED) {
        queue->Cancel();
        return false;
    }
    queue->state = JobState::Ended;
    return true;
}

bool CupsSpooler::AbortPrinter(PrinterHandle handle) {
    OpenQueue* queue = FindUnfinishedJob(handle);
    if (queue == nullptr) {
        return false;
    }
    return queue->Cancel();
}

void CupsSpooler::ClosePrinter(PrinterHandle handle) {
    auto found = open_.find(handle);
    if (found == open_.end()) {
        return;
    }
    OpenQueue& queue = *found->second;
    if (queue.state == JobState::Created || queue.state == JobState::Sending) {
        queue.Cancel();
    }
    if (queue.state == JobState::Ended) {
        lastJobPrinter_ = queue.name;
        lastJobId_ = queue.jobId;
    }
    open_.erase(found);
}

std::vector<std::string> CupsSpooler::EnumLocalPrinters() {
    std::vector<std::string> names;
    const HttpConnection http = ConnectToScheduler();
    if (!http) {
        return names;
    }
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    static const char* const kAttributes[] = {"printer-name", "printer-is-temporary"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr,
                  kAttributes);
    const IppMessage response = Ask(http, request);
    if (!response) {
        return names;
    }

    // One group of printer attributes per queue.
    std::string name;
    bool temporary = false;
    for (ipp_attribute_t* attribute = ippFirstAttribute(response.get());;
         attribute = ippNextAttribute(response.get())) {
        if (attribute == nullptr || ippGetGroupTag(attribute) != IPP_TAG_PRINTER) {
            if (!name.empty() && !temporary) {
                names.push_back(name);
            }
            name.clear();
            temporary = false;
            if (attribute == nullptr) {
                break;
            }
            continue;
        }
        const char* attributeName = ippGetName(attribute);
        if (attributeName == nullptr) {
            continue;
        }
        if (std::string_view(attributeName) == "printer-name" &&
            ippGetValueTag(attribute) == IPP_TAG_NAME) {
            name = ippGetString(attribute, 0, nullptr);
        } else if (std::string_view(attributeName) == "printer-is-temporary" &&
                   ippGetValueTag(attribute) == IPP_TAG_BOOLEAN) {
            temporary = ippGetBoolean(attribute, 0) != 0;
        }
    }
    return names;
}

namespace {

constexpr milliseconds kStatusSilenceLimit(1000);
constexpr milliseconds kStatusWaitSlice(100);

JobStatus::State StateOf(int jobState) {
    using State = JobStatus::State;
    switch (jobState) {
        case IPP_JSTATE_PENDING:
            return State::Pending;
        case IPP_JSTATE_HELD:
            return State::Held;
        case IPP_JSTATE_PROCESSING:
            return State::Processing;
        case IPP_JSTATE_STOPPED:
            return State::Stopped;
        case IPP_JSTATE_CANCELED:
            return State::Canceled;
        case IPP_JSTATE_ABORTED:
            return State::Aborted;
        case IPP_JSTATE_COMPLETED:
            return State::Completed;
        default:
            return State::Unknown;
    }
}

std::string TextOf(ipp_t* response, const char* name) {
    ipp_attribute_t* attribute = ippFindAttribute(response, name, IPP_TAG_TEXT);
    const char* text = attribute != nullptr ? ippGetString(attribute, 0, nullptr) : nullptr;
    return text != nullptr ? text : "";
}

int IntegerOf(ipp_t* response, const char* name, ipp_tag_t tag = IPP_TAG_INTEGER) {
    ipp_attribute_t* attribute = ippFindAttribute(response, name, tag);
    return attribute != nullptr ? ippGetInteger(attribute, 0) : -1;
}

// A reason of severity warning or error ("media-empty-error").
bool ReportsProblem(ipp_attribute_t* reasons) {
    for (int i = 0; i < ippGetCount(reasons); ++i) {
        const std::string_view reason = ippGetString(reasons, i, nullptr);
        if (reason.ends_with("-warning") || reason.ends_with("-error")) {
            return true;
        }
    }
    return false;
}

}  // namespace

JobStatus CupsSpooler::LastJobStatus(const std::atomic<bool>& giveUp) {
    JobStatus status;
    if (lastJobId_ <= 0) {
        return status;
    }
    // libcups keeps its callbacks per thread, and this may be a new one.
    cupsSetPasswordCB2(NoPassword, nullptr);
    SilenceLimit silence(kStatusWaitSlice, kStatusSilenceLimit);
    const HttpConnection http = ConnectToScheduler(static_cast<int>(kStatusSilenceLimit.count()));
    if (!http) {
        return status;
    }
    silence.Watch(http.get(), &giveUp);

    // The job: its state, its share sent, the last warning or error about it.
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     "/jobs/%d", lastJobId_);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    static const char* const kJobAttributes[] = {
        "job-state", "job-k-octets", "job-k-octets-processed", "job-printer-state-message"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 4, nullptr,
                  kJobAttributes);
    const IppMessage job = Ask(http, request);
    if (!job) {
        return status;
    }
    status.state = StateOf(IntegerOf(job.get(), "job-state", IPP_TAG_ENUM));
    const int size = IntegerOf(job.get(), "job-k-octets");
    const int processed = IntegerOf(job.get(), "job-k-octets-processed");
    if (size > 0 && processed >= 0) {
        status.percentSent = static_cast<int>(std::min<long long>(100, processed * 100LL / size));
    }
    const std::string jobMessage = TextOf(job.get(), "job-printer-state-message");

    // The printer: what it says now.
    request = PrinterRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, lastJobPrinter_);
    if (request != nullptr) {
        static const char* const kPrinterAttributes[] = {"printer-state-message",
                                                         "printer-state-reasons"};
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2,
                      nullptr, kPrinterAttributes);
        const IppMessage printer = Ask(http, request);
        if (printer) {
            status.printerMessage = TextOf(printer.get(), "printer-state-message");
            ipp_attribute_t* reasons =
                ippFindAttribute(printer.get(), "printer-state-reasons", IPP_TAG_KEYWORD);
            status.printerProblem = (reasons != nullptr && ReportsProblem(reasons)) ||
                                    (!jobMessage.empty() && jobMessage == status.printerMessage);
        }
    }
    return status;
}

}  // namespace quillet
