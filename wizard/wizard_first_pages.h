// The first pages as start-up runs them, on a dialog framework.
#pragma once

#include "app/dialog_framework.h"
#include "app/upgrade_app.h"
#include "wizard/process_launcher.h"

namespace quillet {

class WizardFirstPages : public FirstPages {
public:
    // Both must outlive the object's runs.
    WizardFirstPages(DialogFramework& framework, ProcessLauncher& launcher)
        : framework_(framework), launcher_(launcher) {}

    int RunWelcomePage(UpgradeApp& app) override;
    // The selection page is the main window while it runs; the rest of the
    // wizard runs nested inside it.
    int RunSelectPrinterPage(UpgradeApp& app) override;

private:
    DialogFramework& framework_;
    ProcessLauncher& launcher_;
};

}  // namespace quillet
