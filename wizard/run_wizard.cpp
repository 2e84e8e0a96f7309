#include "wizard/run_wizard.h"

#include "wizard/wizard_first_pages.h"

namespace quillet {

int RunWizard(PlatformServices services, DialogFramework& framework, ProcessLauncher& launcher) {
    WizardFirstPages firstPages(framework, launcher);
    UpgradeApp app(services, firstPages);
    // Start-up always reports failure, so no message loop of the program's
    // own follows: shutdown comes straight after.
    app.InitInstance();
    return app.ExitInstance();
}

}  // namespace quillet
