// The recovery record: the printer whose "SM AutoRun" value a run switched
// off, and the value to write back. It is kept outside the registry from just
// before the switch until the value is back, so that a run that could not
// write it back (killed, crashed, the power cut, a store it could not write)
// leaves it to the next start.
//
// While a run keeps a record, it holds the printer: another run, of this user
// or any other, can see that and leaves the printer alone. Records and holds
// belong to one registry store; a record is never applied to another.
// Back ends: platform/recovery_record_posix.cpp (files in the user's state
// folder, a lock file beside the store); NoRecoveryRecord() for builds and
// tests without one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "printer/registry.h"

namespace quillet {

struct RecordedAutoRun {
    std::string printer;
    std::int32_t savedAutoRun = 1;
};

enum class PrinterHold {
    Held,           // this run holds the printer now
    HeldElsewhere,  // another live run holds it
    CannotTell,     // no lock could be made (this user cannot write beside the store)
};

// Every call but Lock and Unlock is made with the record locked: a back end
// may write the value back on its own when the process ends abruptly, and the
// lock keeps it from meeting a switch or a restore half made.
class RecoveryRecord {
public:
    virtual ~RecoveryRecord() = default;

    // Holds the printer for this run, without waiting, and lets go of any
    // printer held before. Keep, Find and Remove work on that printer's
    // record.
    virtual PrinterHold Hold(const std::string& printer) = 0;
    // Lets go of the printer; its record, if any, stays.
    virtual void Release() = 0;

    // Replaces the held printer's record. False when it could not be kept for
    // a later run; the run goes on all the same.
    virtual bool Keep(const RecordedAutoRun& record) = 0;
    // True once the record is gone for later runs too.
    virtual bool Remove() = 0;
    // The record this run keeps, or the one an earlier run left for the held
    // printer.
    virtual std::optional<RecordedAutoRun> Find() = 0;

    // The printers that earlier runs left records for in this store.
    virtual std::vector<std::string> RecordedPrinters() = 0;

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

// Keeps nothing, finds nothing, and can never tell whether a printer is held.
RecoveryRecord& NoRecoveryRecord();

// The rescue at an abrupt end: writes this run's recorded value back and
// removes the record once the registry took it. Call with the record locked.
void RestoreRecordedAutoRun(Registry& registry, RecoveryRecord& record);

// Start-up: puts back the values of the records that earlier runs left in
// this store, each while holding its printer; a printer a live run holds is
// left alone. Call with the record locked.
void RestoreLeftRecords(Registry& registry, RecoveryRecord& record);

}  // namespace quillet
