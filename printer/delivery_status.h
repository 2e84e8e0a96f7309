// The download page's status line: what the scheduler says of the image job,
// in the user's words.
#pragma once

#include <string>

#include "printer/spooler.h"

namespace quillet {

// Catalogue offsets of the status line's texts. "%1" in a text stands for the
// line's argument.
enum DeliveryText : int {
    kTextSending = 64,         // no share reported
    kTextSendingShare = 65,    // %1: the percentage sent
    kTextDelivered = 66,       //
    kTextWaiting = 67,         // the printer says nothing
    kTextWaitingMessage = 68,  // %1: the printer's own message
    kTextNotDelivered = 69,    // cancelled or aborted: call the maker's support
};

struct DeliveryLine {
    int offset = 0;  // 0: nothing new to say, the line stays as it is
    std::string argument;
    bool final = false;  // the job has ended; its line will not change again
};

DeliveryLine DeliveryLineFor(const JobStatus& status);

// The text with every "%1" replaced by `argument`.
std::string FillArgument(std::string text, const std::string& argument);

}  // namespace quillet
