// The printer driver's "SM AutoRun" setting for TargetPrinter.

#include <cstring>
#include <optional>

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

enum class Written {
    KeyNotOpened,  // nothing changed
    NotStored,     // the key opened, but the store did not take the value
    Stored,
};

// Sets the printer's "SM AutoRun" to `value`.
Written WriteAutoRunFor(Registry& registry, const std::string& printerName, std::int32_t value) {
    std::string path;
    RegistryKey key = 0;
    if (!DriverDataKeyPath(printerName, path) ||
        !registry.OpenKey(path, RegistryAccess::Write, key)) {
        return Written::KeyNotOpened;
    }
    OpenKey closeOnReturn(registry, key);
    std::uint8_t bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    return registry.SetValue(key, kAutoRunValueName, REG_DWORD, bytes, sizeof bytes)
               ? Written::Stored
               : Written::NotStored;
}

// The printer's "SM AutoRun" as a 32-bit value; none when it cannot be read.
std::optional<std::int32_t> ReadAutoRunFor(Registry& registry, const std::string& printerName) {
    std::string path;
    RegistryKey key = 0;
    if (!DriverDataKeyPath(printerName, path) ||
        !registry.OpenKey(path, RegistryAccess::QueryValue, key)) {
        return std::nullopt;
    }
    OpenKey closeOnReturn(registry, key);

    // A value shorter than 4 bytes leaves the rest of the buffer zero.
    std::uint8_t buffer[4] = {0, 0, 0, 0};
    std::uint32_t size = sizeof buffer;
    std::uint32_t type = 0;
    if (!registry.QueryValue(key, kAutoRunValueName, type, buffer, size)) {
        return std::nullopt;
    }
    std::int32_t value = 0;
    std::memcpy(&value, buffer, sizeof value);
    return value;
}

// Settles a record that an earlier run left: true once it may go. Its value
// goes back only while the printer still holds the 0 that run wrote; a value
// changed since is someone's later choice, and the record is stale. A value
// that cannot be read leaves the record for a later start.
bool PutLeftRecordBack(Registry& registry, const RecordedAutoRun& recorded) {
    const std::optional<std::int32_t> value = ReadAutoRunFor(registry, recorded.printer);
    if (!value) {
        return false;
    }
    return *value != 0 ||
           WriteAutoRunFor(registry, recorded.printer, recorded.savedAutoRun) == Written::Stored;
}

}  // namespace

void UpgradeApp::ReadAutoRun() {
    const std::optional<std::int32_t> value = ReadAutoRunFor(services_.registry, TargetPrinter);
    SavedAutoRun = value && *value == 0 ? 0 : 1;
}

void UpgradeApp::WriteAutoRun(std::int32_t value) {
    if (WriteAutoRunFor(services_.registry, TargetPrinter, value) != Written::KeyNotOpened) {
        AutoRunChanged = 1;
    }
}

bool UpgradeApp::SwitchAutoRunOff() {
    RecoveryRecord& record = services_.recoveryRecord;
    RecordLock lock(record);
    // Another run has this printer's value switched off: the 0 read now
    // would be saved as the user's value, and two images would go to one
    // printer.
    if (record.Hold(TargetPrinter) == PrinterHold::HeldElsewhere) {
        return false;
    }
    // While the value still holds the 0 of a run that left its record, the
    // user's value is the recorded one.
    const std::optional<RecordedAutoRun> left = record.Find();
    ReadAutoRun();
    if (left && SavedAutoRun == 0) {
        SavedAutoRun = left->savedAutoRun;
    }

    // Kept before the write, so no moment passes with the value at 0 and
    // nothing to restore it from.
    record.Keep({TargetPrinter, SavedAutoRun});
    if (WriteAutoRunFor(services_.registry, TargetPrinter, 0) != Written::KeyNotOpened) {
        AutoRunChanged = 1;
        return true;
    }
    // Nothing was switched off: the record goes again, unless an earlier
    // run's is still to be put back, and the printer is free.
    if (!left) {
        record.Remove();
    }
    record.Release();
    return true;
}

void UpgradeApp::WriteSavedAutoRunBack() {
    RecoveryRecord& record = services_.recoveryRecord;
    RecordLock lock(record);
    const Written written = WriteAutoRunFor(services_.registry, TargetPrinter, SavedAutoRun);
    if (written != Written::KeyNotOpened) {
        AutoRunChanged = 1;
    }
    // Until the store has taken the value, the record stays for a later end
    // or start to try again.
    if (written == Written::Stored) {
        record.Remove();
        record.Release();
    }
}

bool UpgradeApp::KeepsRecord() {
    RecordLock lock(services_.recoveryRecord);
    return services_.recoveryRecord.Find().has_value();
}

void RestoreRecordedAutoRun(Registry& registry, RecoveryRecord& record) {
    const std::optional<RecordedAutoRun> recorded = record.Find();
    if (recorded &&
        WriteAutoRunFor(registry, recorded->printer, recorded->savedAutoRun) == Written::Stored) {
        record.Remove();
    }
}

void RestoreLeftRecords(Registry& registry, RecoveryRecord& record) {
    for (const std::string& printer : record.RecordedPrinters()) {
        // A printer that a live run holds is that run's to put back.
        if (record.Hold(printer) == PrinterHold::Held) {
            // Read again under the hold: the run that held it may have just
            // removed its record.
            const std::optional<RecordedAutoRun> recorded = record.Find();
            if (recorded && PutLeftRecordBack(registry, *recorded)) {
                record.Remove();
            }
        }
        record.Release();
    }
}

}  // namespace quillet
