// One raw spooler job: everything the system sends to the printer goes
// through it.
#pragma once

#include <cstdint>
#include <string>

#include "printer/spooler.h"

namespace quillet {

// Sends the bytes to the named printer as one raw job: open, start document,
// start page, one write, end page, end document, close. 1 when the whole
// buffer went into a completed job, 0 otherwise; a failed or short write
// cancels the job.
int SendRawJob(Spooler& spooler, const std::string& printerName, const void* data,
               std::uint32_t length);

}  // namespace quillet
