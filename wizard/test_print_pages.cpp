#include "wizard/test_print_pages.h"

#include <cstring>

#include "printer/commands.h"
#include "wizard/download_pages.h"

namespace quillet {
namespace {

// Sends a printer command without its terminating NUL. 1 or 0 as SendRawJob.
int SendCommand(UpgradeApp& app, const char* command) {
    return app.SendRawJob(app.TargetPrinter, command,
                          static_cast<std::uint32_t>(std::strlen(command)));
}

}  // namespace

void TestPrintReadyPage::OnOK() {
    DialogPage::OnOK();
    TestPrintWaitPage next(Context());
    if (!SendCommand(App(), TestPrintCommand)) {
        // This page has ended already, so the chain unwinds from here.
        ShowError(kTextTestPrintFailed);
        return;
    }
    next.DoModal();
}

void TestPrintWaitPage::OnOK() {
    DialogPage::OnOK();
    DownloadReadyPage next(Context());
    // Once in download mode the printer waits for an image until it is
    // switched off, and takes whatever comes next as its firmware: the image
    // is read whole here, and the download page sends that block, so an image
    // that could never be sent stops the run here and later changes to the
    // file never reach the printer.
    UpgradeApp& app = App();
    if (!app.CheckImageFile(app.ImagePaths[0])) {
        ShowError(kTextImageSendFailed);
        return;
    }
    // From download mode on, sleep or shutdown could cut the printer off
    // mid-image; the completion page or shutdown releases it.
    app.Services().inhibitor.Acquire();
    if (!SendCommand(app, PrepareUpgradeCommand)) {
        ShowError(kTextPrepareUpgradeFailed);
        return;
    }
    next.DoModal();
}

void TestPrintWaitPage::OnCommand(int id) {
    if (id != kIdRetry) {
        return;
    }
    // The page stays open whatever the outcome.
    if (!SendCommand(App(), TestPrintCommand)) {
        ShowError(kTextTestPrintFailed);
    }
}

}  // namespace quillet
