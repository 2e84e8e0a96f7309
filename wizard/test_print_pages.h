// The test print and the download-mode command.
#pragma once

#include "wizard/wizard_page.h"

namespace quillet {

// OK sends the test print and, when the spooler took it, runs the waiting page.
class TestPrintReadyPage : public WizardPage {
public:
    static constexpr int kDialogId = 129;
    explicit TestPrintReadyPage(WizardContext& context)
        : WizardPage(context, kDialogId, {821, 822, 823}) {}

    void OnOK() override;
};

// Retry sends the test print again and stays; OK checks that the image can
// be sent, then sends the download-mode command (holding off sleep and
// shutdown first) and, when the spooler took
// it, runs the download-ready page.
class TestPrintWaitPage : public WizardPage {
public:
    static constexpr int kDialogId = 130;
    explicit TestPrintWaitPage(WizardContext& context)
        : WizardPage(context, kDialogId, {831, 832}) {}

    void OnOK() override;
    void OnCommand(int id) override;
};

}  // namespace quillet
