// The first two pages: the welcome page and the printer-selection page.
#pragma once

#include "wizard/wizard_page.h"

namespace quillet {

// Commands the selection page answers; no control issues them, its layout
// offers them as window-menu entries with their keys.
inline constexpr int kCommandInstallDriver = 1017;
inline constexpr int kCommandRefreshPrinters = 1018;

// Shown in place of the advice to install the printer driver (offset 12) when
// the spooler has no back end, which no driver would bring.
inline constexpr int kTextPrintersCannotBeListed = 71;

class WelcomePage : public WizardPage {
public:
    static constexpr int kDialogId = 140;
    explicit WelcomePage(WizardContext& context) : WizardPage(context, kDialogId, {931, 932}) {}
};

// Lists the local printers and records the chosen one in TargetPrinter; its OK
// switches the driver's autorun setting off and starts the test print.
// Start-up makes it the application's main window while it runs.
class SelectPrinterPage : public WizardPage {
public:
    static constexpr int kDialogId = 102;
    explicit SelectPrinterPage(WizardContext& context);

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCommand(int id) override;

private:
    void FillList();

    PrinterListControl* list_ = nullptr;  // bound to kPrinterListId while the page runs
};

}  // namespace quillet
