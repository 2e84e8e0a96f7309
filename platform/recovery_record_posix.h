// The recovery record on POSIX systems: the file "autorun-record" in the
// user's state folder, $XDG_STATE_HOME/quillet/ (by default
// ~/.local/state/quillet/).
#pragma once

#include <signal.h>

#include <mutex>

#include "app/recovery_record.h"

namespace quillet {

// The record is replaced whole (a temporary file, synced, then renamed), so
// a crash or a power cut leaves the old record or the new one, never a part.
// This run's record is also kept in memory, so that the rescue at an abrupt
// end has it even where the file could not be written.
class PosixRecoveryRecord : public RecoveryRecord {
public:
    // `folder` empty: the record is kept in memory only.
    explicit PosixRecoveryRecord(std::string folder = DefaultFolder());

    // The state folder's "quillet"; empty when neither XDG_STATE_HOME nor
    // HOME names an absolute path.
    static std::string DefaultFolder();

    bool Keep(const RecordedAutoRun& record) override;
    void Remove() override;
    std::optional<RecordedAutoRun> Find() override;

    // The lock also holds SIGINT, SIGTERM and SIGHUP back in the calling
    // thread: their handler may stop the thread it interrupts until the
    // process ends, and the rescue would then wait for this lock forever.
    void Lock() override;
    void Unlock() override;

private:
    std::string FilePath() const;

    std::string folder_;
    std::optional<RecordedAutoRun> kept_;
    std::mutex mutex_;
    sigset_t holderMask_;  // the holder's signal mask before Lock()
};

}  // namespace quillet
