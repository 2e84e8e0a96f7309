// The printer driver's "SM AutoRun" setting: a 32-bit value in the printer's
// driver-data key of the registry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "printer/registry.h"

namespace quillet {

enum class AutoRunWrite {
    KeyNotOpened,  // nothing changed
    NotStored,     // the key opened, but the store did not take the value
    Stored,
};

// The printer's "SM AutoRun" value; none when it cannot be read. A value
// shorter than 4 bytes counts with its missing bytes 0.
std::optional<std::int32_t> ReadAutoRun(Registry& registry, const std::string& printerName);

// Sets the printer's "SM AutoRun" to `value`.
AutoRunWrite WriteAutoRun(Registry& registry, const std::string& printerName, std::int32_t value);

}  // namespace quillet
