// The printer driver's "SM AutoRun" setting for TargetPrinter.

#include <cstring>

#include "app/upgrade_app.h"

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

class OpenKey {
public:
    OpenKey(Registry& registry, RegistryKey key) : registry_(registry), key_(key) {}
    ~OpenKey() { registry_.CloseKey(key_); }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

private:
    Registry& registry_;
    RegistryKey key_;
};

// Sets the printer's "SM AutoRun" to `value`; false when its driver key could
// not be opened, so nothing was written.
bool WriteAutoRunFor(Registry& registry, const std::string& printerName, std::int32_t value) {
    std::string path;
    RegistryKey key = 0;
    if (!DriverDataKeyPath(printerName, path) ||
        !registry.OpenKey(path, RegistryAccess::Write, key)) {
        return false;
    }
    OpenKey closeOnReturn(registry, key);
    std::uint8_t bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    registry.SetValue(key, kAutoRunValueName, REG_DWORD, bytes, sizeof bytes);
    return true;
}

}  // namespace

void UpgradeApp::ReadAutoRun() {
    Registry& registry = services_.registry;
    std::string path;
    RegistryKey key = 0;
    if (!DriverDataKeyPath(TargetPrinter, path) ||
        !registry.OpenKey(path, RegistryAccess::QueryValue, key)) {
        SavedAutoRun = 1;
        return;
    }
    OpenKey closeOnReturn(registry, key);

    // A value shorter than 4 bytes leaves the rest of the buffer zero.
    std::uint8_t buffer[4] = {0, 0, 0, 0};
    std::uint32_t size = sizeof buffer;
    std::uint32_t type = 0;
    if (!registry.QueryValue(key, kAutoRunValueName, type, buffer, size)) {
        SavedAutoRun = 1;
        return;
    }
    std::int32_t value = 0;
    std::memcpy(&value, buffer, sizeof value);
    SavedAutoRun = value != 0 ? 1 : 0;
}

void UpgradeApp::WriteAutoRun(std::int32_t value) {
    if (WriteAutoRunFor(services_.registry, TargetPrinter, value)) {
        AutoRunChanged = 1;
    }
}

void UpgradeApp::SwitchAutoRunOff() {
    RecoveryRecord& record = services_.recoveryRecord;
    RecordLock lock(record);
    ReadAutoRun();
    // Kept before the write, so no moment passes with the value at 0 and
    // nothing to restore it from. A write that could not open the key
    // changed nothing, and the record goes again.
    record.Keep({TargetPrinter, SavedAutoRun});
    if (WriteAutoRunFor(services_.registry, TargetPrinter, 0)) {
        AutoRunChanged = 1;
    } else {
        record.Remove();
    }
}

void UpgradeApp::WriteSavedAutoRunBack() {
    RecoveryRecord& record = services_.recoveryRecord;
    RecordLock lock(record);
    if (WriteAutoRunFor(services_.registry, TargetPrinter, SavedAutoRun)) {
        AutoRunChanged = 1;
        record.Remove();
    }
}

void RestoreRecordedAutoRun(Registry& registry, RecoveryRecord& record) {
    const std::optional<RecordedAutoRun> recorded = record.Find();
    if (recorded && WriteAutoRunFor(registry, recorded->printer, recorded->savedAutoRun)) {
        record.Remove();
    }
}

}  // namespace quillet
