#include "printer/delivery_status.h"

#include <string_view>

namespace quillet {

namespace {

DeliveryLine Waiting(const JobStatus& status) {
    if (status.printerMessage.empty()) {
        return {kTextWaiting, {}, false};
    }
    return {kTextWaitingMessage, status.printerMessage, false};
}

}  // namespace

DeliveryLine DeliveryLineFor(const JobStatus& status) {
    using State = JobStatus::State;
    switch (status.state) {
        case State::Unknown:
            return {};
        case State::Completed:
            return {kTextDelivered, {}, true};
        case State::Canceled:
        case State::Aborted:
            return {kTextNotDelivered, {}, true};
        case State::Pending:
        case State::Held:
        case State::Stopped:
            return Waiting(status);
        case State::Processing:
            break;
    }
    // A printer that does not answer leaves the job processing; only its
    // message tells waiting from sending.
    if (status.printerProblem) {
        return Waiting(status);
    }
    if (status.percentSent >= 0) {
        return {kTextSendingShare, std::to_string(status.percentSent), false};
    }
    return {kTextSending, {}, false};
}

std::string FillArgument(std::string text, const std::string& argument) {
    static constexpr std::string_view kMarker = "%1";
    for (std::size_t at = text.find(kMarker); at != std::string::npos;
         at = text.find(kMarker, at + argument.size())) {
        text.replace(at, kMarker.size(), argument);
    }
    return text;
}

}  // namespace quillet
