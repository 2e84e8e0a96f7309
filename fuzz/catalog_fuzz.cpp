// A catalogue file, as a translator might write it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/message_catalog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quillet::MessageCatalog catalog;
    std::string error;
    // A refused file must say which line is wrong.
    if (!catalog.AddFile({reinterpret_cast<const char*>(data), size}, &error) && error.empty()) {
        __builtin_trap();
    }
    return 0;
}
