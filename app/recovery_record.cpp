#include "app/recovery_record.h"

#include "printer/autorun.h"

namespace quillet {

namespace {

class NoRecord : public RecoveryRecord {
public:
    PrinterHold Hold(const std::string&) override { return PrinterHold::CannotTell; }
    void Release() override {}
    bool Keep(const RecordedAutoRun&) override { return false; }
    bool Remove() override { return true; }
    std::optional<RecordedAutoRun> Find() override { return std::nullopt; }
    std::vector<std::string> RecordedPrinters() override { return {}; }
    void Lock() override {}
    void Unlock() override {}
};

// Settles a record that an earlier run left: true once it may go. Its value
// goes back only while the printer still holds the 0 that run wrote; a value
// changed since is someone's later choice, and the record is stale. A value
// that cannot be read leaves the record for a later start.
bool PutLeftRecordBack(Registry& registry, const RecordedAutoRun& recorded) {
    const std::optional<std::int32_t> value = ReadAutoRun(registry, recorded.printer);
    if (!value) {
        return false;
    }
    return *value != 0 ||
           WriteAutoRun(registry, recorded.printer, recorded.savedAutoRun) == AutoRunWrite::Stored;
}

}  // namespace

RecoveryRecord& NoRecoveryRecord() {
    static NoRecord none;
    return none;
}

void RestoreRecordedAutoRun(Registry& registry, RecoveryRecord& record) {
    const std::optional<RecordedAutoRun> recorded = record.Find();
    if (recorded &&
        WriteAutoRun(registry, recorded->printer, recorded->savedAutoRun) == AutoRunWrite::Stored) {
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
