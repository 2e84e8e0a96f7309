// Recording doubles for every platform service, sharing one CallLog so that
// the order of calls across services can be checked.
#pragma once

#include <cstring>
#include <map>
#include <optional>
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

namespace quillet::testing {

struct SentJob {
    std::string printer;
    DocInfo docInfo;
    std::string data;  // the bytes written
    bool ended = false;
    bool aborted = false;
};

// A spooler with a set of known printers. Every call is recorded by name
// ("OpenPrinter", "StartDocPrinter", ...); jobs keep the bytes written.
class RecordingSpooler : public Spooler {
  public:
    explicit RecordingSpooler(CallLog& log) : log_(log) {}

    std::vector<std::string> printers;        // what the spooler knows, in its order
    std::optional<std::uint32_t> shortWrite;  // take only this many bytes
    std::vector<SentJob> jobs;

    // The jobs that were ended, i.e. reached the printer.
    std::vector<SentJob> CompletedJobs() const;

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
    CallLog& log_;
    std::map<PrinterHandle, std::string> open_;
    std::map<PrinterHandle, int> jobOf_;
    PrinterHandle next_ = 1;
};

struct RegistryValue {
    std::uint32_t type = REG_DWORD;
    std::vector<std::uint8_t> bytes;
};

// An in-memory registry: keys by lower-cased path, values by lower-cased name.
class RecordingRegistry : public Registry {
  public:
    explicit RecordingRegistry(CallLog& log) : log_(log) {}

    void AddKey(const std::string& path);
    void SetDword(const std::string& path, const std::string& name, std::uint32_t value);
    void SetString(const std::string& path, const std::string& name, const std::string& value);
    // The value, if present.
    std::optional<RegistryValue> Value(const std::string& path, const std::string& name) const;
    std::optional<std::uint32_t> Dword(const std::string& path, const std::string& name) const;

    bool OpenKey(const std::string& path, RegistryAccess access, RegistryKey& key) override;
    bool QueryValue(RegistryKey key, const std::string& valueName, std::uint32_t& type,
                    std::uint8_t* data, std::uint32_t& size) override;
    bool SetValue(RegistryKey key, const std::string& valueName, std::uint32_t type,
                  const std::uint8_t* data, std::uint32_t size) override;
    void CloseKey(RegistryKey key) override;

    int OpenKeys() const { return static_cast<int>(open_.size()); }
    std::vector<std::string> openedPaths;  // every path passed to OpenKey

  private:
    CallLog& log_;
    std::map<std::string, std::map<std::string, RegistryValue>> keys_;
    std::map<RegistryKey, std::string> open_;
    RegistryKey next_ = 1;
};

// Files held in memory; blocks are real heap blocks, so the sanitizer build
// sees any access out of bounds.
class RecordingImageFiles : public ImageFiles {
  public:
    explicit RecordingImageFiles(CallLog& log) : log_(log) {}

    std::map<std::string, std::string> files;
    std::optional<std::uint64_t> reportedSize;  // pretend the file has this size
    std::optional<std::uint32_t> shortRead;     // deliver only this many bytes

    bool OpenFile(const std::string& path, FileHandle& file) override;
    std::uint64_t FileSize(FileHandle file) override;
    void* AllocateBlock(std::size_t size) override;
    bool LockBlock(void* block, std::size_t size) override;
    void UnlockBlock(void* block, std::size_t size) override;
    std::uint32_t ReadFile(FileHandle file, void* block, std::uint32_t size) override;
    void CloseFile(FileHandle file) override;
    void ReleaseBlock(void* block, std::size_t size) override;

    int OpenFiles() const { return static_cast<int>(open_.size()); }
    int LiveBlocks() const { return static_cast<int>(blocks_.size()); }

  private:
    CallLog& log_;
    std::map<FileHandle, std::string> open_;
    std::map<void*, std::size_t> blocks_;
    FileHandle next_ = 1;
};

class FixedUserLanguage : public UserLanguage {
  public:
    explicit FixedUserLanguage(CallLog& log, std::uint16_t id = 1033) : languageId(id), log_(log) {}
    std::uint16_t UserDefaultLangId() override {
        log_.Record("GetUserDefaultLangID");
        return languageId;
    }
    std::uint16_t languageId;

  private:
    CallLog& log_;
};

class FixedPlatformVersion : public PlatformVersion {
  public:
    explicit FixedPlatformVersion(CallLog& log, std::uint32_t id = kAcceptedPlatformId)
        : platformId(id), log_(log) {}
    std::uint32_t PlatformId() override {
        log_.Record("GetVersionEx");
        return platformId;
    }
    std::uint32_t platformId;

  private:
    CallLog& log_;
};

struct ShownMessage {
    DialogPage* owner;
    std::string text;
    std::optional<std::string> caption;
    MessageIcon icon;
};

class RecordingMessageBoxes : public MessageBoxes {
  public:
    explicit RecordingMessageBoxes(CallLog& log) : log_(log) {}
    void ShowMessage(DialogPage* owner, const std::string& text, const std::string* caption,
                     MessageIcon icon) override {
        log_.Record("MessageBox");
        shown.push_back({owner, text, caption ? std::optional(*caption) : std::nullopt, icon});
    }
    std::vector<ShownMessage> shown;

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

    PlatformServices Services() {
        return {userLanguage, platformVersion, messageBoxes, spooler, imageFiles, registry};
    }
};

}  // namespace quillet::testing
