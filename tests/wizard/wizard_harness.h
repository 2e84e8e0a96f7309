// One whole program run for the page tests: the recording doubles, the
// scripted dialog framework and the real pages, start-up to shutdown, with a
// "quillet.txt" in a scratch current directory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/upgrade_app.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/recording_launcher.h"
#include "tests/doubles/scripted_dialogs.h"
#include "emulator/temp_dir.h"
#include "wizard/wizard_first_pages.h"

namespace quillet::testing {

inline constexpr const char* kModelName = "Tarvane Nimbrel K7";
inline constexpr const char* kK7Queue = "Tarvane_Nimbrel_K7";
inline constexpr const char* kOtherQueue = "Office_Laser";  // sorts before the K7
inline constexpr const char* kImagePath = "firmware.bin";
inline constexpr const char* kConfig =
    "K7\r\nTarvane Nimbrel K7\r\nRelease 2.10\r\nFile=firmware.bin\r\n";

// The driver's key for a printer.
std::string DriverKeyPath(const std::string& printer);

// Adds to the shared log what a job was, once the spooler has closed it:
// "Job TestPrint", "Job PrepareUpgrade", "Job Image", with " failed" when the
// job did not complete; "Job refused" when the printer could not be opened.
class StoryTellingSpooler : public Spooler {
public:
    StoryTellingSpooler(RecordingSpooler& inner, CallLog& log, std::string image)
        : inner_(inner), log_(log), image_(std::move(image)) {}

    bool OpenPrinter(const std::string& printerName, PrinterHandle& handle) override;
    bool StartDocPrinter(PrinterHandle handle, const DocInfo& docInfo) override {
        return inner_.StartDocPrinter(handle, docInfo);
    }
    bool StartPagePrinter(PrinterHandle handle) override { return inner_.StartPagePrinter(handle); }
    bool WritePrinter(PrinterHandle handle, const void* data, std::uint32_t length,
                      std::uint32_t& written) override;
    bool EndPagePrinter(PrinterHandle handle) override { return inner_.EndPagePrinter(handle); }
    bool EndDocPrinter(PrinterHandle handle) override;
    bool AbortPrinter(PrinterHandle handle) override { return inner_.AbortPrinter(handle); }
    void ClosePrinter(PrinterHandle handle) override;
    std::vector<std::string> EnumLocalPrinters() override { return inner_.EnumLocalPrinters(); }

    // What the bytes were: "TestPrint", "PrepareUpgrade", "Image" or "Other".
    std::string Kind(const std::string& data) const;

private:
    RecordingSpooler& inner_;
    CallLog& log_;
    std::string image_;
    std::map<PrinterHandle, std::string> data_;
    std::map<PrinterHandle, bool> completed_;
};

// Adds "AutoRun ? <value>" (or "AutoRun ? none") for each read of
// "SM AutoRun" and "AutoRun := <value>" for each write.
class StoryTellingRegistry : public Registry {
public:
    StoryTellingRegistry(RecordingRegistry& inner, CallLog& log) : inner_(inner), log_(log) {}

    bool OpenKey(const std::string& path, RegistryAccess access, RegistryKey& key) override {
        return inner_.OpenKey(path, access, key);
    }
    bool QueryValue(RegistryKey key, const std::string& valueName, std::uint32_t& type,
                    std::uint8_t* data, std::uint32_t& size) override;
    bool SetValue(RegistryKey key, const std::string& valueName, std::uint32_t type,
                  const std::uint8_t* data, std::uint32_t size) override;
    void CloseKey(RegistryKey key) override { inner_.CloseKey(key); }

private:
    RecordingRegistry& inner_;
    CallLog& log_;
};

// Every offset the program uses.
inline constexpr int kAllOffsets[] = {1,  2,  3,  4,  7,  11,  12,  21,  22,  23, 31,
                                      32, 51, 61, 62, 63, 101, 111, 121, 131, 132};

// A catalogue whose text for each set and offset says which it is
// ("13000:131"), so a test sees which set a text came from. String 101 is
// "&About Quillet..." unless `withAboutLabel` is false.
MessageCatalog LabelledCatalog(std::initializer_list<int> bases, bool withAboutLabel = true);

// OK on every page from the welcome page to the completion page.
void ScriptFullUpgrade(ScriptedDialogs& dialogs);

class WizardHarness {
public:
    // Two printers (the K7 and one that sorts before it), the K7's driver key
    // with "SM AutoRun" 1, the image file and kConfig.
    WizardHarness();
    ~WizardHarness();
    WizardHarness(const WizardHarness&) = delete;
    WizardHarness& operator=(const WizardHarness&) = delete;

    // Replaces "quillet.txt"; nullptr removes it.
    void WriteConfig(const char* content);
    // Start-up, then shutdown, as the framework calls them.
    void Run();

    // The log cut down to what the user and the printer see, with each
    // "MessageBox" named after its owner ("MessageBox 129", "MessageBox 0"):
    // pages shown, jobs, autorun reads and writes, boxes, quit requests,
    // installer starts, printer enumerations, and "ExitInstance".
    std::vector<std::string> Story() const;
    // The completed jobs' kinds, in order.
    std::vector<std::string> Jobs() const;
    // The K7's "SM AutoRun" value now.
    std::optional<std::uint32_t> AutoRun() const;
    // The text with that offset in the run's language set.
    std::string Text(int offset) const;

    PlatformDoubles doubles;
    ScriptedDialogs dialogs{doubles.log};
    RecordingLauncher launcher{doubles.log};
    const MessageCatalog* catalog = &MessageCatalog::Builtin();
    std::string image = "FIRMWARE\x1b image bytes";

    std::unique_ptr<UpgradeApp> app;
    int initResult = -1;
    int exitResult = -1;
    std::int32_t autoRunChangedAfterStartUp = -1;

private:
    StoryTellingSpooler spooler_{doubles.spooler, doubles.log, image};
    StoryTellingRegistry registry_{doubles.registry, doubles.log};
    WizardFirstPages firstPages_{dialogs, launcher};
    std::filesystem::path previousDirectory_;
    TempDir directory_{"quillet-wizard-test"};
};

}  // namespace quillet::testing
