#include "wizard/download_pages.h"

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

    // No page is on screen while the image is read and spooled.
    UpgradeApp& app = App();
    if (!app.SendImageFile(app.TargetPrinter, app.ImagePaths[0])) {
        ShowError(kTextImageSendFailed);
        Framework().PostQuitMessage(0);
    }

    LoadTexts();
    UpdateData(false);
    return true;
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
    app.WriteAutoRun(app.SavedAutoRun);
    app.AutoRunChanged = 0;
    app.Services().inhibitor.Release();
    return true;
}

}  // namespace quillet
