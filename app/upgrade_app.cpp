#include "app/upgrade_app.h"

#include "app/language_map.h"
#include "printer/raw_job.h"

namespace quillet {

UpgradeApp::UpgradeApp(PlatformServices services, FirstPages& firstPages,
                       const MessageCatalog& catalog)
    : services_(services), firstPages_(firstPages), catalog_(catalog) {}

int UpgradeApp::InitInstance() {
    // The language comes first, so that both refusals below are shown in it.
    LanguageBase = LanguageBaseFor(services_.userLanguage.UserDefaultLangId());

    // A run that could not write the driver's value back (killed, crashed,
    // the power cut, a store it could not write) left a record of it: that
    // value goes back before anything else, so no check that ends start-up
    // can leave it at 0 and no later read takes the 0 for the user's setting.
    {
        RecordLock lock(services_.recoveryRecord);
        RestoreLeftRecords(services_.registry, services_.recoveryRecord);
    }

    if (services_.platformVersion.PlatformId() != kAcceptedPlatformId) {
        LoadText(MessageText, kTextPlatformRefused);
        services_.messageBoxes.ShowMessage(nullptr, MessageText, nullptr, MessageIcon::None);
        return 0;
    }

    if (!LoadConfig()) {
        LoadText(MessageText, kTextConfigUnreadable);
        const std::string caption = kConfigErrorCaption;
        services_.messageBoxes.ShowMessage(nullptr, MessageText, &caption, MessageIcon::Stop);
        return 0;
    }

    // A welcome page that could not be made (-1) counts as confirmed.
    if (firstPages_.RunWelcomePage(*this) == 2) {
        return 0;
    }
    // The rest of the wizard runs inside this page; how it ended does not matter here.
    firstPages_.RunSelectPrinterPage(*this);
    return 0;
}

int UpgradeApp::ExitInstance() {
    // A completion page whose write the store did not take left the record:
    // this end tries again.
    if (AutoRunChanged != 0 || KeepsRecord()) {
        WriteSavedAutoRunBack();
    }
    image_.Release();
    services_.inhibitor.Release();
    return 0;
}

void UpgradeApp::LoadText(std::string& destination, int offset) const {
    const int id = LanguageBase + offset;
    destination =
        (id < 0 || id > 0xFFFF) ? std::string() : catalog_.Load(static_cast<std::uint16_t>(id));
}

std::string UpgradeApp::LoadString(std::uint16_t id) const {
    return catalog_.Load(id);
}

int UpgradeApp::LoadConfig() {
    std::optional<Configuration> config = ReadConfig(services_.configFiles, kConfigFileName);
    if (!config) {
        return 0;
    }
    TargetPrinter = std::move(config->targetPrinter);
    ImagePaths = std::move(config->imagePaths);
    ImagePathCount = config->imagePathCount;
    return 1;
}

int UpgradeApp::SendRawJob(const std::string& printerName, const void* data, std::uint32_t length) {
    return quillet::SendRawJob(services_.spooler, printerName, data, length);
}

int UpgradeApp::SendImageFile(const std::string& printerName, const std::string& path) {
    return quillet::SendImageFile(services_.spooler, Image(), printerName, path);
}

int UpgradeApp::CheckImageFile(const std::string& path) {
    return quillet::CheckImageFile(Image(), path);
}

void UpgradeApp::ReadAutoRun() {
    const std::optional<std::int32_t> value =
        quillet::ReadAutoRun(services_.registry, TargetPrinter);
    SavedAutoRun = value && *value == 0 ? 0 : 1;
}

AutoRunWrite UpgradeApp::WriteAutoRun(std::int32_t value) {
    const AutoRunWrite written = quillet::WriteAutoRun(services_.registry, TargetPrinter, value);
    if (written != AutoRunWrite::KeyNotOpened) {
        AutoRunChanged = 1;
    }
    return written;
}

bool UpgradeApp::SwitchAutoRunOff() {
    RecoveryRecord& record = services_.recoveryRecord;
    RecordLock lock(record);
    // Another run has this printer's value switched off: the 0 read now
    // would be saved as the user's value, and two images would go to one
    // printer.
    if (record.Hold(TargetPrinter) == PrinterHold::HeldElsewhere) {
        return false;
    }
    // While the value still holds the 0 of a run that left its record, the
    // user's value is the recorded one.
    const std::optional<RecordedAutoRun> left = record.Find();
    ReadAutoRun();
    if (left && SavedAutoRun == 0) {
        SavedAutoRun = left->savedAutoRun;
    }

    // Kept before the write, so no moment passes with the value at 0 and
    // nothing to restore it from.
    record.Keep({TargetPrinter, SavedAutoRun});
    if (WriteAutoRun(0) != AutoRunWrite::KeyNotOpened) {
        return true;
    }
    // Nothing was switched off: the record goes again, unless an earlier
    // run's is still to be put back, and the printer is free.
    if (!left) {
        record.Remove();
    }
    record.Release();
    return true;
}

void UpgradeApp::WriteSavedAutoRunBack() {
    RecoveryRecord& record = services_.recoveryRecord;
    RecordLock lock(record);
    // Until the store has taken the value, the record stays for a later end
    // or start to try again.
    if (WriteAutoRun(SavedAutoRun) == AutoRunWrite::Stored) {
        record.Remove();
        record.Release();
    }
}

bool UpgradeApp::KeepsRecord() {
    RecordLock lock(services_.recoveryRecord);
    return services_.recoveryRecord.Find().has_value();
}

}  // namespace quillet
