#include "wizard/download_pages.h"

#include <memory>

#include "printer/delivery_status.h"

namespace quillet {

void DownloadReadyPage::OnOK() {
    DialogPage::OnOK();
    DownloadPage next(Context());
    next.DoModal();
}

bool DownloadPage::OnInitDialog() {
    DialogPage::OnInitDialog();
    AppendAboutEntry();
    SetCaptionToTargetPrinter();

    // No page is on screen while the image, read before download mode, is
    // spooled.
    UpgradeApp& app = App();
    const bool sent = app.SendImageFile(app.TargetPrinter, app.ImagePaths[0]) != 0;
    if (!sent) {
        ShowError(kTextImageSendFailed);
        Framework().PostQuitMessage(0);
    }

    LoadTexts();
    UpdateData(false);
    if (sent) {
        AskDeliveryStatus();
    }
    return true;
}

void DownloadPage::OnTimer() {
    // One question at a time; the answer sets the timer again.
    SetTimer(0);
    AskDeliveryStatus();
}

void DownloadPage::AskDeliveryStatus() {
    DialogWindow* window = Window();
    if (window == nullptr) {
        return;
    }
    Spooler& spooler = App().Services().spooler;
    auto status = std::make_shared<JobStatus>();
    window->RunInBackground(
        [&spooler, status](const std::atomic<bool>& stop) {
            *status = spooler.LastJobStatus(stop);
        },
        [this, status] { ShowDeliveryLine(*status); });
}

void DownloadPage::ShowDeliveryLine(const JobStatus& status) {
    const DeliveryLine line = DeliveryLineFor(status);
    if (!line.final) {
        SetTimer(kDeliveryPollMs);
    }
    DialogWindow* window = Window();
    if (line.offset == 0 || window == nullptr) {
        return;
    }
    std::string text;
    App().LoadText(text, line.offset);
    window->SetDlgItemText(kDeliveryStatusId, FillArgument(text, line.argument));
}

void DownloadPage::OnOK() {
    DialogPage::OnOK();
    CompletePage next(Context());
    next.DoModal();
}

bool CompletePage::OnInitDialog() {
    WizardPage::OnInitDialog();
    // Cleared whether or not the write could be made, so shutdown writes
    // nothing more.
    UpgradeApp& app = App();
    app.WriteSavedAutoRunBack();
    app.AutoRunChanged = 0;
    app.Services().inhibitor.Release();
    return true;
}

}  // namespace quillet
