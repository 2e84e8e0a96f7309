#include "app/upgrade_app.h"

#include "app/language_map.h"

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

}  // namespace quillet
