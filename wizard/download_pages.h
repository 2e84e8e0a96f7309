// The firmware download and the completion page.
#pragma once

#include "wizard/wizard_page.h"

namespace quillet {

class DownloadReadyPage : public WizardPage {
public:
    static constexpr int kDialogId = 132;
    explicit DownloadReadyPage(WizardContext& context) : WizardPage(context, kDialogId, {851}) {}

    void OnOK() override;
};

// The download page's status line, and how often it asks the spooler.
inline constexpr int kDeliveryStatusId = 1021;
inline constexpr int kDeliveryPollMs = 1000;

// Sends the firmware image while it opens. When that fails it posts a quit
// request, so its run ends with -1 before it waits for input and the whole
// chain unwinds. Otherwise its status line follows the image job at the
// spooler until the job has ended. The spooler is asked in the background,
// so a silent one never holds up the page, and asked again only an interval
// after it has answered.
class DownloadPage : public WizardPage {
public:
    static constexpr int kDialogId = 133;
    explicit DownloadPage(WizardContext& context)
        : WizardPage(context, kDialogId, {861, 862, 863}) {}

    bool OnInitDialog() override;
    void OnOK() override;
    void OnTimer() override;

private:
    void AskDeliveryStatus();
    void ShowDeliveryLine(const JobStatus& status);
};

// Writes the saved autorun value back as it opens, then lets the system sleep
// and shut down again.
class CompletePage : public WizardPage {
public:
    static constexpr int kDialogId = 137;
    explicit CompletePage(WizardContext& context) : WizardPage(context, kDialogId, {901}) {}

    bool OnInitDialog() override;
};

}  // namespace quillet
