#include "app/dialog_framework.h"

namespace quillet {

DialogPage::DialogPage(DialogFramework& framework, int dialogId)
    : framework_(framework), dialogId_(dialogId) {}

DialogPage::~DialogPage() = default;

int DialogPage::DoModal() {
    return framework_.DoModal(*this);
}

bool DialogPage::OnInitDialog() {
    UpdateData(false);
    return true;
}

void DialogPage::OnOK() {
    UpdateData(true);
    EndDialog(kEndOk);
}

void DialogPage::OnCancel() {
    EndDialog(kEndCancel);
}

void DialogPage::OnCommand(int) {}

bool DialogPage::OnSysCommand(int) {
    return false;
}

void DialogPage::OnTimer() {}

bool DialogPage::UpdateData(bool save) {
    if (window_ == nullptr) {
        return false;
    }
    for (auto& [fieldId, member] : textBindings_) {
        if (save) {
            *member = window_->GetDlgItemText(fieldId);
        } else {
            window_->SetDlgItemText(fieldId, *member);
        }
    }
    for (auto& [listId, control] : listBindings_) {
        *control = window_->PrinterList(listId);
    }
    return true;
}

void DialogPage::EndDialog(int code) {
    if (window_ != nullptr) {
        window_->EndDialog(code);
    }
}

void DialogPage::SetTimer(int intervalMs) {
    if (window_ != nullptr) {
        window_->SetTimer(intervalMs);
    }
}

void DialogPage::BindText(int fieldId, std::string& member) {
    textBindings_.emplace_back(fieldId, &member);
}

void DialogPage::BindList(int listId, PrinterListControl*& control) {
    listBindings_.emplace_back(listId, &control);
}

}  // namespace quillet
