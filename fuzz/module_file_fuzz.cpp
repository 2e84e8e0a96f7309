// A spooler module's file: the first 8 bytes of the input are the file's size
// (little-endian), the rest its start as read before loading.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/module_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint64_t fileSize = 0;
    if (size >= sizeof fileSize) {
        std::memcpy(&fileSize, data, sizeof fileSize);
        data += sizeof fileSize;
        size -= sizeof fileSize;
    }
    quillet::ModuleFileProblem(std::string_view(reinterpret_cast<const char*>(data), size),
                               fileSize);
    return 0;
}
