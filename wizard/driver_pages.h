// The side branch that starts the printer driver's installer, run from the
// selection page.
#pragma once

#include "wizard/wizard_page.h"

namespace quillet {

// The installer, relative to the current directory, as the package holds it.
inline constexpr const char* kDriverInstallerPath = "driver\\setup.exe";

// The one page whose OK runs the next page before it ends itself, so it stays
// on screen behind the run page.
class DriverStartPage : public WizardPage {
public:
    static constexpr int kDialogId = 138;
    explicit DriverStartPage(WizardContext& context) : WizardPage(context, kDialogId, {911}) {}

    void OnOK() override;
};

// Starts the installer as it opens, does not wait for it, and waits for the
// user's OK.
class DriverRunPage : public WizardPage {
public:
    static constexpr int kDialogId = 139;
    explicit DriverRunPage(WizardContext& context) : WizardPage(context, kDialogId, {921}) {}

    bool OnInitDialog() override;
};

}  // namespace quillet
