// Recording doubles of every platform service, sharing one CallLog that holds
// every platform call in order, what the user and the printer saw, and
// misuses of a service. Any single call can be made to fail, as the service's
// contract allows: false or nullptr; a write that fails or (partialWrites)
// takes half; a read that delivers half; a file size 4 GiB too large; no
// printers; an unknown platform; language id 0; a printer another run holds.
// Releases cannot fail; a release of something not held is logged as a fault.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/message_box.h"
#include "app/platform_version.h"
#include "app/upgrade_app.h"
#include "app/user_language.h"
#include "printer/image_file.h"
#include "printer/registry.h"
#include "printer/spooler.h"
#include "wizard/process_launcher.h"

namespace quillet::testing {

class CallLog {
public:
    // Records the call; false when it is to fail.
    bool Record(const std::string& call) {
        if (onCall) {
            onCall(call);
        }
        calls.push_back(call);
        storyBefore.push_back(story.size());
        const int count = ++counts_[call];
        auto failing = failing_.find(call);
        return failing == failing_.end() || (failing->second != 0 && failing->second != count);
    }
    // Records a release; `held` false logs the misuse.
    void Release(const std::string& call, bool held) {
        Record(call);
        if (!held) {
            faults.push_back(call + " of something not held");
        }
    }
    // Fails the `occurrence`-th call named `call` (from 1); 0 fails every one.
    void FailCall(const std::string& call, int occurrence = 0) { failing_[call] = occurrence; }
    int Count(const std::string& call) const {
        auto found = counts_.find(call);
        return found == counts_.end() ? 0 : found->second;
    }

    std::vector<std::string> calls;
    std::vector<std::size_t> storyBefore;  // story.size() when each call was made
    std::vector<std::string> story;        // pages, boxes, completed jobs, autorun writes
    std::vector<std::string> faults;       // e.g. a handle closed that was not open
    bool partialWrites = false;
    std::function<void(const std::string&)> onCall;

private:
    std::map<std::string, int> counts_;
    std::map<std::string, int> failing_;
};

template <class Service>
class Recorded : public Service {
public:
    explicit Recorded(CallLog& log) : log_(log) {}

protected:
    CallLog& log_;
};

struct SentJob {
    std::string printer;
    DocInfo docInfo;
    std::string data;  // the bytes the spooler took
    bool cut = false;  // a write failed or was short
    bool ended = false;
    bool aborted = false;
};

class RecordingSpooler : public Recorded<Spooler> {
public:
    using Recorded::Recorded;

    std::vector<std::string> printers;  // what the spooler knows, in its order
    std::vector<SentJob> jobs;
    // Names the story gives an ended job with these bytes ("Job TestPrint").
    std::map<std::string, std::string> payloadNames;

    bool OpenPrinter(const std::string& printerName, PrinterHandle& handle) override {
        if (!log_.Record("OpenPrinter") ||
            std::find(printers.begin(), printers.end(), printerName) == printers.end()) {
            return false;
        }
        handle = next_++;
        open_[handle] = -1;
        jobs.push_back({printerName, {}, {}});
        return true;
    }
    bool StartDocPrinter(PrinterHandle handle, const DocInfo& docInfo) override {
        if (!log_.Record("StartDocPrinter") || open_.count(handle) == 0) {
            return false;
        }
        open_[handle] = static_cast<int>(jobs.size()) - 1;
        jobs.back().docInfo = docInfo;
        return true;
    }
    bool StartPagePrinter(PrinterHandle handle) override {
        return log_.Record("StartPagePrinter") && Job(handle, "StartPagePrinter");
    }
    bool WritePrinter(PrinterHandle handle, const void* data, std::uint32_t length,
                      std::uint32_t& written) override {
        const bool ok = log_.Record("WritePrinter");
        SentJob* job = Job(handle, "WritePrinter");
        if (job && (ok || log_.partialWrites)) {
            written = ok ? length : length / 2;
            job->data.append(static_cast<const char*>(data), written);
        }
        if (job && !ok) {
            job->cut = true;
        }
        return job && (ok || log_.partialWrites);
    }
    bool EndPagePrinter(PrinterHandle handle) override {
        return log_.Record("EndPagePrinter") && Job(handle, "EndPagePrinter");
    }
    bool EndDocPrinter(PrinterHandle handle) override {
        const bool ok = log_.Record("EndDocPrinter");
        SentJob* job = Job(handle, "EndDocPrinter");
        if (!ok || !job) {
            return false;
        }
        job->ended = true;
        if (!job->data.empty()) {  // else nothing reaches the printer
            auto name = payloadNames.find(job->data);
            log_.story.push_back("Job " + (name != payloadNames.end() ? name->second : job->data));
        }
        return true;
    }
    bool AbortPrinter(PrinterHandle handle) override {
        const bool ok = log_.Record("AbortPrinter");
        SentJob* job = Job(handle, "AbortPrinter");
        if (ok && job) {
            job->aborted = true;
        }
        return ok && job;
    }
    void ClosePrinter(PrinterHandle handle) override {
        log_.Release("ClosePrinter", open_.erase(handle) > 0);
    }
    std::vector<std::string> EnumLocalPrinters() override {
        return log_.Record("EnumPrinters") ? printers : std::vector<std::string>();
    }

    int OpenHandles() const { return static_cast<int>(open_.size()); }

private:
    SentJob* Job(PrinterHandle handle, const char* call) {
        auto found = open_.find(handle);
        if (found == open_.end() || found->second < 0) {
            log_.faults.push_back(std::string(call) + " without a started job");
            return nullptr;
        }
        return &jobs[static_cast<std::size_t>(found->second)];
    }

    std::map<PrinterHandle, int> open_;  // handle -> its job, -1 before StartDoc
    PrinterHandle next_ = 1;
};

// Keys by path, values by name, as the program spells them.
class RecordingRegistry : public Recorded<Registry> {
public:
    using Recorded::Recorded;

    void SetDword(const std::string& path, const std::string& name, std::uint32_t value) {
        auto& bytes = keys_[path][name];
        bytes.resize(4);
        std::memcpy(bytes.data(), &value, 4);
    }
    std::optional<std::uint32_t> Dword(const std::string& path, const std::string& name) const {
        auto key = keys_.find(path);
        if (key == keys_.end() || key->second.count(name) == 0 ||
            key->second.at(name).size() != 4) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        std::memcpy(&value, key->second.at(name).data(), 4);
        return value;
    }

    bool OpenKey(const std::string& path, RegistryAccess access, RegistryKey& key) override {
        if (!log_.Record(access == RegistryAccess::Write ? "RegOpenKey(write)"
                                                         : "RegOpenKey(read)") ||
            keys_.count(path) == 0) {
            return false;
        }
        key = next_++;
        open_[key] = path;
        return true;
    }
    bool QueryValue(RegistryKey key, const std::string& valueName, std::uint32_t& type,
                    std::uint8_t* data, std::uint32_t& size) override {
        if (!log_.Record("RegQueryValue") || open_.count(key) == 0) {
            return false;
        }
        auto& values = keys_[open_[key]];
        auto value = values.find(valueName);
        if (value == values.end() || value->second.size() > size) {
            return false;
        }
        type = REG_DWORD;
        size = static_cast<std::uint32_t>(value->second.size());
        std::copy(value->second.begin(), value->second.end(), data);
        return true;
    }
    bool SetValue(RegistryKey key, const std::string& valueName, std::uint32_t type,
                  const std::uint8_t* data, std::uint32_t size) override {
        if (!log_.Record("RegSetValue") || open_.count(key) == 0) {
            return false;
        }
        keys_[open_[key]][valueName].assign(data, data + size);
        if (valueName == "SM AutoRun" && type == REG_DWORD && size == 4) {
            log_.story.push_back("AutoRun := " + std::to_string(*Dword(open_[key], valueName)));
        }
        return true;
    }
    void CloseKey(RegistryKey key) override { log_.Release("RegCloseKey", open_.erase(key) > 0); }

    int OpenKeys() const { return static_cast<int>(open_.size()); }

private:
    std::map<std::string, std::map<std::string, std::vector<std::uint8_t>>> keys_;
    std::map<RegistryKey, std::string> open_;
    RegistryKey next_ = 1;
};

// Files held in memory; blocks are real heap blocks, so the sanitizer build
// sees any access out of bounds.
class RecordingImageFiles : public Recorded<ImageFiles> {
public:
    using Recorded::Recorded;

    std::map<std::string, std::string> files;

    bool OpenFile(const std::string& path, FileHandle& file) override {
        if (!log_.Record("CreateFile") || files.count(path) == 0) {
            return false;
        }
        file = next_++;
        open_[file] = path;
        return true;
    }
    std::uint64_t FileSize(FileHandle file) override {
        const std::uint64_t size = open_.count(file) ? files[open_[file]].size() : 0;
        return log_.Record("GetFileSize") ? size : size + (std::uint64_t{1} << 32);
    }
    void* AllocateBlock(std::size_t size) override {
        if (!log_.Record("VirtualAlloc") || size == 0) {
            return nullptr;
        }
        void* block = std::malloc(size);
        blocks_[block] = size;
        return block;
    }
    bool LockBlock(void* block, std::size_t size) override {
        if (!log_.Record("VirtualLock")) {
            return false;
        }
        const bool held = blocks_.count(block) && blocks_[block] == size;
        if (held) {
            locked_.insert(block);
        } else {
            log_.faults.push_back("VirtualLock of a block not held");
        }
        return held;
    }
    void UnlockBlock(void* block, std::size_t) override {
        log_.Release("VirtualUnlock", locked_.erase(block) > 0);
    }
    std::uint32_t ReadFile(FileHandle file, void* block, std::uint32_t size) override {
        const bool ok = log_.Record("ReadFile");
        if (open_.count(file) == 0 || blocks_.count(block) == 0 || blocks_[block] < size) {
            log_.faults.push_back("ReadFile outside a held file or block");
            return 0;
        }
        const std::string& content = files[open_[file]];
        auto count = static_cast<std::uint32_t>(std::min<std::size_t>(content.size(), size));
        count = ok ? count : count / 2;
        std::memcpy(block, content.data(), count);
        return count;
    }
    void CloseFile(FileHandle file) override { log_.Release("CloseHandle", open_.erase(file) > 0); }
    void ReleaseBlock(void* block, std::size_t size) override {
        auto found = blocks_.find(block);
        const bool held = found != blocks_.end() && found->second == size;
        log_.Release("VirtualFree", held);
        if (held) {
            blocks_.erase(found);
            std::free(block);
        }
    }

    int Held() const { return static_cast<int>(open_.size() + blocks_.size() + locked_.size()); }

private:
    std::map<FileHandle, std::string> open_;
    std::map<void*, std::size_t> blocks_;
    std::set<void*> locked_;
    FileHandle next_ = 1;
};

struct FixedUserLanguage : Recorded<UserLanguage> {
    using Recorded::Recorded;
    std::uint16_t UserDefaultLangId() override {
        return log_.Record("GetUserDefaultLangID") ? 1033 : 0;
    }
};

struct FixedPlatformVersion : Recorded<PlatformVersion> {
    using Recorded::Recorded;
    std::uint32_t PlatformId() override {
        return log_.Record("GetVersionEx") ? kAcceptedPlatformId : 0;
    }
};

// For the services bundle of tests that show no box.
struct RecordingMessageBoxes : Recorded<MessageBoxes> {
    using Recorded::Recorded;
    void ShowMessage(DialogPage*, const std::string& text, const std::string*,
                     MessageIcon) override {
        log_.story.push_back("Box " + text);
    }
};

struct RecordingLauncher : Recorded<ProcessLauncher> {
    using Recorded::Recorded;
    bool StartProcess(const std::string& applicationName) override {
        const bool ok = log_.Record("StartProcess");
        if (ok) {
            log_.story.push_back("Start " + applicationName);
        }
        return ok;
    }
};

// The recovery record of one printer, as later runs would find it.
class RecordingRecoveryRecord : public Recorded<RecoveryRecord> {
public:
    using Recorded::Recorded;

    std::optional<RecordedAutoRun> kept;
    std::string held;  // the printer this run holds
    int failedRemovals = 0;

    PrinterHold Hold(const std::string& printer) override {
        if (!log_.Record("HoldPrinter")) {
            return PrinterHold::HeldElsewhere;
        }
        held = printer;
        return PrinterHold::Held;
    }
    void Release() override { held.clear(); }
    bool Keep(const RecordedAutoRun& record) override {
        if (!log_.Record("KeepRecord")) {
            return false;
        }
        kept = record;
        return true;
    }
    bool Remove() override {
        if (!log_.Record("RemoveRecord")) {
            ++failedRemovals;
            return false;
        }
        kept.reset();
        return true;
    }
    std::optional<RecordedAutoRun> Find() override { return held.empty() ? std::nullopt : kept; }
    std::vector<std::string> RecordedPrinters() override {
        return kept ? std::vector<std::string>{kept->printer} : std::vector<std::string>{};
    }
    void Lock() override {}
    void Unlock() override {}
};

// A failed Acquire holds nothing, as when no login manager answers.
struct RecordingInhibitor : Recorded<Inhibitor> {
    using Recorded::Recorded;
    void Acquire() override { held = log_.Record("Inhibit") || held; }
    void Release() override { held = false; }
    bool held = false;
};

// All the doubles of one test, with the services bundle that wires them in.
struct PlatformDoubles {
    CallLog log;
    FixedUserLanguage userLanguage{log};
    FixedPlatformVersion platformVersion{log};
    RecordingMessageBoxes messageBoxes{log};
    RecordingSpooler spooler{log};
    RecordingImageFiles imageFiles{log};
    RecordingRegistry registry{log};
    RecordingLauncher launcher{log};
    RecordingRecoveryRecord record{log};
    RecordingInhibitor inhibitor{log};

    PlatformServices Services() {
        return {userLanguage, platformVersion,       messageBoxes, spooler,  imageFiles,
                registry,     StandardConfigFiles(), record,       inhibitor};
    }
};

}  // namespace quillet::testing
