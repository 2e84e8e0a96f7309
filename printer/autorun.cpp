#include "printer/autorun.h"

#include <cstring>

namespace quillet {

namespace {

constexpr const char* kAutoRunValueName = "SM AutoRun";
constexpr const char* kKeyPathBefore = "System\\CurrentControlSet\\control\\Print\\Printers\\";
constexpr const char* kKeyPathAfter = "\\PrinterDriverData";
// The key path is formatted into a buffer of this many characters, terminator
// included.
constexpr std::size_t kKeyPathBufferSize = 1024;

// The driver-data key path of the printer; false when it does not fit its
// buffer. A cut-off path could name another printer's key, so it is never
// opened.
bool DriverDataKeyPath(const std::string& printerName, std::string& path) {
    path = kKeyPathBefore + printerName + kKeyPathAfter;
    return path.size() < kKeyPathBufferSize && path.find('\0') == std::string::npos;
}

}  // namespace

AutoRunWrite WriteAutoRun(Registry& registry, const std::string& printerName, std::int32_t value) {
    std::string path;
    if (!DriverDataKeyPath(printerName, path)) {
        return AutoRunWrite::KeyNotOpened;
    }
    const OpenRegistryKey key(registry, path, RegistryAccess::Write);
    if (!key) {
        return AutoRunWrite::KeyNotOpened;
    }
    std::uint8_t bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    return registry.SetValue(key.get(), kAutoRunValueName, REG_DWORD, bytes, sizeof bytes)
               ? AutoRunWrite::Stored
               : AutoRunWrite::NotStored;
}

std::optional<std::int32_t> ReadAutoRun(Registry& registry, const std::string& printerName) {
    std::string path;
    if (!DriverDataKeyPath(printerName, path)) {
        return std::nullopt;
    }
    const OpenRegistryKey key(registry, path, RegistryAccess::QueryValue);
    if (!key) {
        return std::nullopt;
    }

    // A value shorter than 4 bytes leaves the rest of the buffer zero.
    std::uint8_t buffer[4] = {0, 0, 0, 0};
    std::uint32_t size = sizeof buffer;
    std::uint32_t type = 0;
    if (!registry.QueryValue(key.get(), kAutoRunValueName, type, buffer, size)) {
        return std::nullopt;
    }
    std::int32_t value = 0;
    std::memcpy(&value, buffer, sizeof value);
    return value;
}

}  // namespace quillet
