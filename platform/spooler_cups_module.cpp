// The CUPS back end as a module for ModuleSpooler (platform/spooler_module.h).
#include <cstdint>
#include <type_traits>

#include "platform/spooler_cups.h"
#include "platform/spooler_module.h"

extern "C" __attribute__((visibility("default"))) quillet::Spooler* quillet_create_spooler() {
    static_assert(std::is_same_v<decltype(&quillet_create_spooler), quillet::SpoolerModuleEntry>);
    return new quillet::CupsSpooler();
}

extern "C" __attribute__((visibility("default"))) const std::uint32_t quillet_spooler_abi =
    quillet::kSpoolerModuleAbi;
