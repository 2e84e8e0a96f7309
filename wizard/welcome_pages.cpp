#include "wizard/welcome_pages.h"

#include "printer/printer_list.h"
#include "wizard/driver_pages.h"
#include "wizard/test_print_pages.h"

namespace quillet {

SelectPrinterPage::SelectPrinterPage(WizardContext& context)
    : WizardPage(context, kDialogId, {811, 812}) {
    BindList(kPrinterListId, list_);
}

bool SelectPrinterPage::OnInitDialog() {
    // The list is filled between the caption and the texts.
    DialogPage::OnInitDialog();
    AppendAboutEntry();
    if (DialogWindow* window = Window()) {
        window->SetIcon(kProgramIconId, IconSize::Large);
        window->SetIcon(kProgramIconId, IconSize::Small);
    }
    SetCaptionToTargetPrinter();
    FillList();
    LoadTexts();
    if (!App().Services().spooler.HasBackEnd()) {
        LoadFieldText(kFieldIdBase + 12, kTextPrintersCannotBeListed);
    }
    UpdateData(false);
    return true;
}

void SelectPrinterPage::OnOK() {
    UpdateData(true);

    // Without a chosen printer the page stays open and nothing is touched.
    const int selected = list_ != nullptr ? list_->GetCurSel() : -1;
    if (selected < 0) {
        return;
    }
    UpgradeApp& app = App();
    app.TargetPrinter = list_->GetText(selected);
    if (app.TargetPrinter.empty()) {
        return;
    }

    // Keep the driver from starting its own tools while the upgrade runs;
    // the completion page or shutdown writes the saved value back. A printer
    // that another run is upgrading is left to it.
    if (!app.SwitchAutoRunOff()) {
        ShowError(kTextPrinterHeld);
        return;
    }

    DialogPage::OnOK();
    TestPrintReadyPage next(Context());
    next.DoModal();
}

void SelectPrinterPage::OnCommand(int id) {
    if (id == kCommandInstallDriver) {
        // Refilled whatever the branch's result, so a printer whose driver was
        // just installed shows up.
        DriverStartPage driverStart(Context());
        driverStart.DoModal();
        FillList();
    } else if (id == kCommandRefreshPrinters) {
        FillList();
    }
}

void SelectPrinterPage::FillList() {
    if (list_ != nullptr) {
        FillPrinterList(App().Services().spooler, *list_, App().TargetPrinter);
    }
}

}  // namespace quillet
