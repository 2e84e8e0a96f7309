// A page-layout file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/dialog_framework.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<quillet::DialogLayout> layouts;
    std::string error;
    // A refused file must say which line is wrong.
    if (!quillet::ParseDialogLayouts({reinterpret_cast<const char*>(data), size}, layouts,
                                     &error) &&
        error.empty()) {
        __builtin_trap();
    }
    return 0;
}
