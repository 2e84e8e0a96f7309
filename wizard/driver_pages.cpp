#include "wizard/driver_pages.h"

namespace quillet {

void DriverStartPage::OnOK() {
    DriverRunPage next(Context());
    next.DoModal();
    DialogPage::OnOK();
}

bool DriverRunPage::OnInitDialog() {
    WizardPage::OnInitDialog();
    // Whether the installer started is not looked at: the user sees it, and
    // the selection page's refreshed list is the only outcome that matters.
    Context().launcher.StartProcess(kDriverInstallerPath);
    return true;
}

}  // namespace quillet
