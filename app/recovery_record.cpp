#include "app/recovery_record.h"

namespace quillet {

namespace {

class NoRecord : public RecoveryRecord {
public:
    bool Keep(const RecordedAutoRun&) override { return false; }
    void Remove() override {}
    std::optional<RecordedAutoRun> Find() override { return std::nullopt; }
    void Lock() override {}
    void Unlock() override {}
};

}  // namespace

RecoveryRecord& NoRecoveryRecord() {
    static NoRecord none;
    return none;
}

}  // namespace quillet
