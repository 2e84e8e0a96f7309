#include "tests/wizard/wizard_harness.h"

#include <cstring>
#include <fstream>

#include "printer/commands.h"

namespace quillet::testing {

std::string DriverKeyPath(const std::string& printer) {
    return "System\\CurrentControlSet\\control\\Print\\Printers\\" + printer +
           "\\PrinterDriverData";
}

MessageCatalog LabelledCatalog(std::initializer_list<int> bases, bool withAboutLabel) {
    std::string file;
    if (withAboutLabel) {
        file += "@base 0\n101\t&About Quillet...\n";
    }
    for (int base : bases) {
        file += "@base " + std::to_string(base) + "\n";
        for (int offset : kAllOffsets) {
            file += std::to_string(offset) + "\t" + std::to_string(base) + ":" +
                    std::to_string(offset) + "\n";
        }
    }
    MessageCatalog catalog;
    catalog.AddFile(file);
    return catalog;
}

void ScriptFullUpgrade(ScriptedDialogs& dialogs) {
    for (int dialogId : {140, 102, 129, 130, 132, 133, 137}) {
        dialogs.Then(dialogId, UserAction::Ok());
    }
}

// --- StoryTellingSpooler ----------------------------------------------------

bool StoryTellingSpooler::OpenPrinter(const std::string& printerName, PrinterHandle& handle) {
    if (!inner_.OpenPrinter(printerName, handle)) {
        log_.Record("Job refused");
        return false;
    }
    data_[handle].clear();
    completed_[handle] = false;
    return true;
}

bool StoryTellingSpooler::WritePrinter(PrinterHandle handle, const void* data, std::uint32_t length,
                                       std::uint32_t& written) {
    const bool ok = inner_.WritePrinter(handle, data, length, written);
    if (ok) {
        data_[handle].append(static_cast<const char*>(data), written);
    }
    return ok;
}

bool StoryTellingSpooler::EndDocPrinter(PrinterHandle handle) {
    const bool ok = inner_.EndDocPrinter(handle);
    completed_[handle] = ok;
    return ok;
}

void StoryTellingSpooler::ClosePrinter(PrinterHandle handle) {
    inner_.ClosePrinter(handle);
    log_.Record("Job " + Kind(data_[handle]) + (completed_[handle] ? "" : " failed"));
    data_.erase(handle);
    completed_.erase(handle);
}

std::string StoryTellingSpooler::Kind(const std::string& data) const {
    if (data == TestPrintCommand) {
        return "TestPrint";
    }
    if (data == PrepareUpgradeCommand) {
        return "PrepareUpgrade";
    }
    if (data == image_) {
        return "Image";
    }
    return "Other";
}

// --- StoryTellingRegistry ---------------------------------------------------

bool StoryTellingRegistry::QueryValue(RegistryKey key, const std::string& valueName,
                                      std::uint32_t& type, std::uint8_t* data,
                                      std::uint32_t& size) {
    const bool ok = inner_.QueryValue(key, valueName, type, data, size);
    if (valueName == "SM AutoRun") {
        std::uint32_t value = 0;
        if (ok && size == 4) {
            std::memcpy(&value, data, 4);
        }
        log_.Record(ok ? "AutoRun ? " + std::to_string(value) : "AutoRun ? none");
    }
    return ok;
}

bool StoryTellingRegistry::SetValue(RegistryKey key, const std::string& valueName,
                                    std::uint32_t type, const std::uint8_t* data,
                                    std::uint32_t size) {
    const bool ok = inner_.SetValue(key, valueName, type, data, size);
    if (valueName == "SM AutoRun" && size == 4) {
        std::uint32_t value = 0;
        std::memcpy(&value, data, 4);
        log_.Record("AutoRun := " + std::to_string(value));
    }
    return ok;
}

// --- WizardHarness ----------------------------------------------------------

WizardHarness::WizardHarness() {
    doubles.spooler.printers = {kK7Queue, kOtherQueue};
    doubles.registry.SetDword(DriverKeyPath(kK7Queue), "SM AutoRun", 1);
    doubles.imageFiles.files[kImagePath] = image;

    // "quillet.txt" is read from the current directory.
    previousDirectory_ = std::filesystem::current_path();
    std::filesystem::current_path(directory_.Path());
    WriteConfig(kConfig);
}

WizardHarness::~WizardHarness() {
    std::filesystem::current_path(previousDirectory_);
}

void WizardHarness::WriteConfig(const char* content) {
    const std::filesystem::path file = directory_.Path() / kConfigFileName;
    if (content == nullptr) {
        std::filesystem::remove(file);
        return;
    }
    std::ofstream(file, std::ios::binary) << content;
}

void WizardHarness::Run() {
    PlatformServices services{doubles.userLanguage,
                              doubles.platformVersion,
                              dialogs,
                              spooler_,
                              doubles.imageFiles,
                              registry_};
    app = std::make_unique<UpgradeApp>(services, firstPages_, *catalog);
    initResult = app->InitInstance();
    autoRunChangedAfterStartUp = app->AutoRunChanged;
    doubles.log.Record("ExitInstance");
    exitResult = app->ExitInstance();
}

std::vector<std::string> WizardHarness::Story() const {
    std::vector<std::string> story;
    std::size_t message = 0;
    for (const std::string& call : doubles.log.Calls()) {
        if (call == "MessageBox") {
            const auto& messages = dialogs.Messages();
            story.push_back("MessageBox " + std::to_string(message < messages.size()
                                                               ? messages[message].ownerDialogId
                                                               : -1));
            ++message;
            continue;
        }
        for (const char* prefix : {"Page ", "Job ", "AutoRun ", "PostQuitMessage", "StartProcess",
                                   "EnumPrinters", "ExitInstance"}) {
            if (call.rfind(prefix, 0) == 0) {
                story.push_back(call);
                break;
            }
        }
    }
    return story;
}

std::vector<std::string> WizardHarness::Jobs() const {
    std::vector<std::string> kinds;
    for (const SentJob& job : doubles.spooler.CompletedJobs()) {
        kinds.push_back(spooler_.Kind(job.data) + " to " + job.printer);
    }
    return kinds;
}

std::optional<std::uint32_t> WizardHarness::AutoRun() const {
    return doubles.registry.Dword(DriverKeyPath(kK7Queue), "SM AutoRun");
}

std::string WizardHarness::Text(int offset) const {
    return app->LoadString(static_cast<std::uint16_t>(app->LanguageBase + offset));
}

}  // namespace quillet::testing
