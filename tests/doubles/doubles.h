// Recording doubles of every platform service, sharing one CallLog. A call
// made to fail fails as the service's contract allows: false or nullptr; a
// write that fails or (CallLog::partialWrites) takes half; a read that
// delivers half; a file size 4 GiB too large; no printers; an unknown
// platform; language id 0. Releases cannot fail. A release of something not
// held is logged as a fault.
#pragma once

#include <cstdint>
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
#include "tests/doubles/call_log.h"
#include "wizard/process_launcher.h"

namespace quillet::testing {

struct SentJob {
    std::string printer;
    DocInfo docInfo;
    std::string data;  // the bytes the spooler took
    bool cut = false;  // a write failed or was short
    bool ended = false;
    bool aborted = false;
};

class RecordingSpooler : public Spooler {
public:
    explicit RecordingSpooler(CallLog& log) : log_(log) {}

    std::vector<std::string> printers;  // what the spooler knows, in its order
    std::vector<SentJob> jobs;
    // Names the story gives an ended job with these bytes ("Job TestPrint").
    std::map<std::string, std::string> payloadNames;

    bool OpenPrinter(const std::string& printerName, PrinterHandle& handle) override;
    bool StartDocPrinter(PrinterHandle handle, const DocInfo& docInfo) override;
    bool StartPagePrinter(PrinterHandle handle) override;
    bool WritePrinter(PrinterHandle handle, const void* data, std::uint32_t length,
                      std::uint32_t& written) override;
    bool EndPagePrinter(PrinterHandle handle) override;
    bool EndDocPrinter(PrinterHandle handle) override;
    bool AbortPrinter(PrinterHandle handle) override;
    void ClosePrinter(PrinterHandle handle) override;
    std::vector<std::string> EnumLocalPrinters() override;

    int OpenHandles() const { return static_cast<int>(open_.size()); }

private:
    SentJob* Job(PrinterHandle handle, const char* call);

    CallLog& log_;
    std::map<PrinterHandle, int> open_;  // handle -> its job, -1 before StartDoc
    PrinterHandle next_ = 1;
};

// Keys by lower-cased path, values by lower-cased name.
class RecordingRegistry : public Registry {
public:
    explicit RecordingRegistry(CallLog& log) : log_(log) {}

    void SetDword(const std::string& path, const std::string& name, std::uint32_t value);
    std::optional<std::uint32_t> Dword(const std::string& path, const std::string& name) const;

    bool OpenKey(const std::string& path, RegistryAccess access, RegistryKey& key) override;
    bool QueryValue(RegistryKey key, const std::string& valueName, std::uint32_t& type,
                    std::uint8_t* data, std::uint32_t& size) override;
    bool SetValue(RegistryKey key, const std::string& valueName, std::uint32_t type,
                  const std::uint8_t* data, std::uint32_t size) override;
    void CloseKey(RegistryKey key) override;

    int OpenKeys() const { return static_cast<int>(open_.size()); }

private:
    CallLog& log_;
    std::map<std::string, std::map<std::string, std::vector<std::uint8_t>>> keys_;
    std::map<RegistryKey, std::string> open_;
    RegistryKey next_ = 1;
};

// Files held in memory; blocks are real heap blocks, so the sanitizer build
// sees any access out of bounds.
class RecordingImageFiles : public ImageFiles {
public:
    explicit RecordingImageFiles(CallLog& log) : log_(log) {}

    std::map<std::string, std::string> files;

    bool OpenFile(const std::string& path, FileHandle& file) override;
    std::uint64_t FileSize(FileHandle file) override;
    void* AllocateBlock(std::size_t size) override;
    bool LockBlock(void* block, std::size_t size) override;
    void UnlockBlock(void* block, std::size_t size) override;
    std::uint32_t ReadFile(FileHandle file, void* block, std::uint32_t size) override;
    void CloseFile(FileHandle file) override;
    void ReleaseBlock(void* block, std::size_t size) override;

    int Held() const { return static_cast<int>(open_.size() + blocks_.size() + locked_.size()); }

private:
    CallLog& log_;
    std::map<FileHandle, std::string> open_;
    std::map<void*, std::size_t> blocks_;
    std::set<void*> locked_;
    FileHandle next_ = 1;
};

class FixedUserLanguage : public UserLanguage {
public:
    explicit FixedUserLanguage(CallLog& log) : log_(log) {}
    std::uint16_t UserDefaultLangId() override {
        return log_.Record("GetUserDefaultLangID") ? languageId : 0;
    }
    std::uint16_t languageId = 1033;

private:
    CallLog& log_;
};

class FixedPlatformVersion : public PlatformVersion {
public:
    explicit FixedPlatformVersion(CallLog& log) : log_(log) {}
    std::uint32_t PlatformId() override {
        return log_.Record("GetVersionEx") ? kAcceptedPlatformId : 0;
    }

private:
    CallLog& log_;
};

// For the services bundle of tests that show no box.
class RecordingMessageBoxes : public MessageBoxes {
public:
    explicit RecordingMessageBoxes(CallLog& log) : log_(log) {}
    void ShowMessage(DialogPage*, const std::string& text, const std::string*,
                     MessageIcon) override {
        log_.story.push_back("Box " + text);
    }

private:
    CallLog& log_;
};

class RecordingLauncher : public ProcessLauncher {
public:
    explicit RecordingLauncher(CallLog& log) : log_(log) {}
    bool StartProcess(const std::string& applicationName) override {
        if (!log_.Record("StartProcess")) {
            return false;
        }
        log_.story.push_back("Start " + applicationName);
        return true;
    }

private:
    CallLog& log_;
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

    PlatformServices Services() {
        return {userLanguage, platformVersion, messageBoxes, spooler, imageFiles, registry};
    }
};

}  // namespace quillet::testing
