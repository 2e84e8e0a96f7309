// A "quillet.txt". The reader takes a path, so each input is written to an
// in-memory file and read back through its /proc name.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "config/config_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int fd = memfd_create("quillet.txt", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        __builtin_trap();
    }
    const auto config = quillet::ReadConfig(quillet::StandardConfigFiles(), path);
    if (config &&
        (config->imagePathCount < 0 || config->imagePathCount > quillet::kImagePathSlots)) {
        __builtin_trap();
    }
    return 0;
}
