// The recovery record: the printer whose "SM AutoRun" value a run switched
// off, and the value to write back. It is kept outside the registry from just
// before the switch until the value is back, so that a run that could not
// write it back (killed, crashed, the power cut) leaves it to the next start.
// Back ends: platform/recovery_record_posix.cpp (a file in the user's state
// folder); NoRecoveryRecord() for builds and tests without one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "printer/registry.h"

namespace quillet {

struct RecordedAutoRun {
    std::string printer;
    std::int32_t savedAutoRun = 1;
};

// Keep, Remove and Find are called with the record locked: a back end may
// write the value back on its own when the process ends abruptly, and the
// lock keeps it from meeting a switch or a restore half made.
class RecoveryRecord {
public:
    virtual ~RecoveryRecord() = default;

    // Replaces the record. False when it could not be kept for a later run;
    // the run goes on all the same.
    virtual bool Keep(const RecordedAutoRun& record) = 0;
    virtual void Remove() = 0;
    // The record this run keeps, or the one an earlier run left.
    virtual std::optional<RecordedAutoRun> Find() = 0;

    virtual void Lock() = 0;
    virtual void Unlock() = 0;
};

// Holds the record locked for its scope.
class RecordLock {
public:
    explicit RecordLock(RecoveryRecord& record) : record_(record) { record_.Lock(); }
    ~RecordLock() { record_.Unlock(); }
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;

private:
    RecoveryRecord& record_;
};

// Keeps nothing and finds nothing.
RecoveryRecord& NoRecoveryRecord();

// Writes the recorded value back for the recorded printer, and removes the
// record once the printer's driver key took it; a key that cannot be opened
// leaves the record for a later run. Call with the record locked.
void RestoreRecordedAutoRun(Registry& registry, RecoveryRecord& record);

}  // namespace quillet
