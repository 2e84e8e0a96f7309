// The application object: everything the wizard's pages share for one run,
// start-up and shutdown, and the printer operations on its state, which
// config/ and printer/ carry out.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "app/inhibitor.h"
#include "app/message_box.h"
#include "app/message_catalog.h"
#include "app/platform_version.h"
#include "app/recovery_record.h"
#include "app/user_language.h"
#include "config/config_reader.h"
#include "printer/autorun.h"
#include "printer/image_block.h"
#include "printer/image_checksum.h"
#include "printer/image_file.h"
#include "printer/image_transfer.h"
#include "printer/registry.h"
#include "printer/spooler.h"

namespace quillet {

class UpgradeApp;

// The platform services the application object works through. The caller
// keeps ownership; every service must outlive the application object.
struct PlatformServices {
    UserLanguage& userLanguage;
    PlatformVersion& platformVersion;
    MessageBoxes& messageBoxes;
    Spooler& spooler;
    ImageFiles& imageFiles;
    Registry& registry;
    // The program's own back ends; builds without them read with std::fopen
    // and keep no recovery record.
    ConfigFiles& configFiles = StandardConfigFiles();
    RecoveryRecord& recoveryRecord = NoRecoveryRecord();
    // Held while the printer is in download mode; none unless a back end is given.
    Inhibitor& inhibitor = NoInhibitor();
    // The maker's checksum beside the image; none is found unless a back end is given.
    ImageChecksums& imageChecksums = NoImageChecksums();
};

// What start-up runs once the platform and the configuration have been
// accepted: the welcome page, then the printer-selection page, in which the
// rest of the wizard runs nested.
class FirstPages {
public:
    virtual ~FirstPages() = default;
    // Returns the end code of the page's modal run: 1 (OK), 2 (Cancel) or -1.
    virtual int RunWelcomePage(UpgradeApp& app) = 0;
    virtual int RunSelectPrinterPage(UpgradeApp& app) = 0;
};

inline constexpr const char* kConfigErrorCaption = "Firmware Upgrade";

// Catalogue offsets start-up and the printer operations' callers use.
enum TextOffset : int {
    kTextConfigUnreadable = 1,
    kTextTestPrintFailed = 2,
    kTextPrepareUpgradeFailed = 3,
    kTextImageSendFailed = 4,
    kTextPlatformRefused = 7,
    kTextPrinterHeld = 70,
};

class UpgradeApp {
public:
    UpgradeApp(PlatformServices services, FirstPages& firstPages,
               const MessageCatalog& catalog = MessageCatalog::Builtin());
    UpgradeApp(const UpgradeApp&) = delete;
    UpgradeApp& operator=(const UpgradeApp&) = delete;

    // Start-up. Runs the wizard to its end and always returns 0, so that no
    // message loop of the program's own follows.
    int InitInstance();

    // Shutdown: writes the saved autorun value back when it is still changed,
    // gives back an image block that was never sent, and lets the system
    // sleep again. Returns the process's exit status.
    int ExitInstance();

    // Reads "quillet.txt" from the current directory into TargetPrinter and
    // ImagePaths (config/config_reader.h). 1 when the file was read and
    // accepted, 0 otherwise.
    int LoadConfig();

    // The operations of printer/raw_job.h and printer/image_transfer.h
    // through this run's services. The image block CheckImageFile reads is
    // held until SendImageFile sends it or shutdown runs, so that changes to
    // the file after the check never reach the printer.
    int SendRawJob(const std::string& printerName, const void* data, std::uint32_t length);
    int SendImageFile(const std::string& printerName, const std::string& path);
    int CheckImageFile(const std::string& path);

    // Saves the driver's "SM AutoRun" value for TargetPrinter in SavedAutoRun
    // as 0 or 1, 1 whenever it cannot be read.
    void ReadAutoRun();
    // Writes `value` as "SM AutoRun" for TargetPrinter; sets AutoRunChanged
    // whenever the driver's key could be opened.
    AutoRunWrite WriteAutoRun(std::int32_t value);

    // The selection page's switch: ReadAutoRun, then WriteAutoRun with 0,
    // with the recovery record kept and the printer held from before the
    // write for as long as the value may be 0. False, with nothing read or
    // written, when another run holds the printer.
    bool SwitchAutoRunOff();
    // The write-back of the completion page and of shutdown: WriteAutoRun
    // with SavedAutoRun; the recovery record goes, and the printer is free,
    // once the store took the value.
    void WriteSavedAutoRunBack();

    // Replaces `destination` with the catalogue text LanguageBase + offset.
    void LoadText(std::string& destination, int offset) const;
    // The text with that identifier as it stands, no base added.
    std::string LoadString(std::uint16_t id) const;

    PlatformServices& Services() { return services_; }

    // Shared state of the run.
    std::int32_t AutoRunChanged = 0;
    std::int32_t SavedAutoRun = 0;
    std::string MessageText;
    std::array<std::string, kImagePathSlots> ImagePaths;
    std::int32_t ImagePathCount = 0;
    std::int32_t LanguageBase = 0;
    std::string TargetPrinter;

private:
    // Whether this run's recovery record is still kept: its value is not back.
    bool KeepsRecord();
    ImageTransfer Image() { return {services_.imageFiles, services_.imageChecksums, image_}; }

    PlatformServices services_;
    FirstPages& firstPages_;
    const MessageCatalog& catalog_;
    ImageBlock image_;
};

}  // namespace quillet
