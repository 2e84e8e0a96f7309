#include "app/recovery_record.h"

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

}  // namespace

RecoveryRecord& NoRecoveryRecord() {
    static NoRecord none;
    return none;
}

}  // namespace quillet
