#include "wizard/wizard_page.h"

#include "app/message_catalog.h"

namespace quillet {

WizardPage::WizardPage(WizardContext& context, int dialogId, std::initializer_list<int> fieldIds)
    : DialogPage(context.framework, dialogId), context_(context), fieldIds_(fieldIds) {
    // Sized once, so the bindings' pointers into it stay valid.
    texts_.resize(fieldIds_.size());
    for (std::size_t i = 0; i < fieldIds_.size(); ++i) {
        BindText(fieldIds_[i], texts_[i]);
    }
}

bool WizardPage::OnInitDialog() {
    DialogPage::OnInitDialog();
    AppendAboutEntry();
    SetCaptionToTargetPrinter();
    LoadTexts();
    UpdateData(false);
    return true;
}

bool WizardPage::OnSysCommand(int id) {
    if ((id & kSysCommandMask) == kAboutCommandId) {
        AboutBox about(Framework());
        about.DoModal();
        return true;
    }
    return DialogPage::OnSysCommand(id);
}

void WizardPage::AppendAboutEntry() {
    DialogWindow* window = Window();
    if (window == nullptr || !window->HasWindowMenu()) {
        return;
    }
    // An empty label adds nothing, not even the separator.
    const std::string label = App().LoadString(kAboutMenuStringId);
    if (label.empty()) {
        return;
    }
    window->AppendWindowMenuSeparator();
    window->AppendWindowMenuItem(kAboutCommandId, label);
}

void WizardPage::SetCaptionToTargetPrinter() {
    if (DialogWindow* window = Window()) {
        window->SetWindowText(App().TargetPrinter);
    }
}

void WizardPage::LoadTexts() {
    for (std::size_t i = 0; i < fieldIds_.size(); ++i) {
        App().LoadText(texts_[i], fieldIds_[i] - kFieldIdBase);
    }
}

void WizardPage::LoadFieldText(int fieldId, int offset) {
    for (std::size_t i = 0; i < fieldIds_.size(); ++i) {
        if (fieldIds_[i] == fieldId) {
            App().LoadText(texts_[i], offset);
        }
    }
}

void WizardPage::ShowError(int offset) {
    UpgradeApp& app = App();
    app.LoadText(app.MessageText, offset);
    app.Services().messageBoxes.ShowMessage(this, app.MessageText, nullptr, MessageIcon::None);
}

}  // namespace quillet
