// The recovery record on POSIX systems. Each record is a file of its own in
// the user's state folder, $XDG_STATE_HOME/quillet/ (by default
// ~/.local/state/quillet/), one per store and printer, named
// "autorun-record-<store's hash>-<printer>"; it names its store in full.
//
// A printer is held with an flock on "<store>.printer-<printer>.lock" beside
// the store, which every user who may change the store can open. The kernel
// lets go of it when the process ends, however it ends. Printer names are
// folded to lower case in both names, as the registry compares them.
#pragma once

#include <signal.h>

#include <mutex>

#include "app/recovery_record.h"
#include "platform/file_descriptor.h"

namespace quillet {

// A record is replaced whole (a temporary file, synced, then renamed), so a
// crash or a power cut leaves the old record or the new one, never a part.
// This run's record is also kept in memory, so that the rescue at an abrupt
// end has it even where the file could not be written.
class PosixRecoveryRecord : public RecoveryRecord {
public:
    // `storePath`: the registry file the records and holds belong to.
    // `folder` empty: records are kept in memory only.
    explicit PosixRecoveryRecord(const std::string& storePath,
                                 std::string folder = DefaultFolder());
    ~PosixRecoveryRecord() override;
    PosixRecoveryRecord(const PosixRecoveryRecord&) = delete;
    PosixRecoveryRecord& operator=(const PosixRecoveryRecord&) = delete;

    // The state folder's "quillet"; empty when neither XDG_STATE_HOME nor
    // HOME names an absolute path.
    static std::string DefaultFolder();

    PrinterHold Hold(const std::string& printer) override;
    void Release() override;
    bool Keep(const RecordedAutoRun& record) override;
    bool Remove() override;
    std::optional<RecordedAutoRun> Find() override;
    std::vector<std::string> RecordedPrinters() override;

    // The lock also holds SIGINT, SIGTERM and SIGHUP back in the calling
    // thread: their handler may stop the thread it interrupts until the
    // process ends, and the rescue would then wait for this lock forever.
    void Lock() override;
    void Unlock() override;

private:
    std::string FilePath() const;

    std::string store_;  // the store's real path; empty when it does not exist
    std::string folder_;
    std::string printer_;  // the printer Hold() took, or took without a lock
    FileDescriptor lock_;  // the printer's lock, when Hold() took it
    std::optional<RecordedAutoRun> kept_;
    std::mutex mutex_;
    sigset_t holderMask_;  // the holder's signal mask before Lock()
};

}  // namespace quillet
