#include "wizard/wizard_first_pages.h"

#include "wizard/welcome_pages.h"

namespace quillet {

int WizardFirstPages::RunWelcomePage(UpgradeApp& app) {
    WizardContext context{app, framework_, launcher_};
    WelcomePage page(context);
    return page.DoModal();
}

int WizardFirstPages::RunSelectPrinterPage(UpgradeApp& app) {
    WizardContext context{app, framework_, launcher_};
    SelectPrinterPage page(context);
    framework_.SetMainWindow(&page);
    const int result = page.DoModal();
    framework_.SetMainWindow(nullptr);
    return result;
}

}  // namespace quillet
