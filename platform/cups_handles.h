// Owners of libcups' handles: each is released once, on every path out of its
// scope.
#pragma once

#include <cups/cups.h>

#include <memory>

namespace quillet {

struct HttpCloser {
    void operator()(http_t* http) const { httpClose(http); }
};
// A connection to a scheduler; empty when none could be made.
using HttpConnection = std::unique_ptr<http_t, HttpCloser>;

struct IppDeleter {
    void operator()(ipp_t* message) const { ippDelete(message); }
};
// A request not yet sent, or a scheduler's response; empty when there is none.
using IppMessage = std::unique_ptr<ipp_t, IppDeleter>;

}  // namespace quillet
