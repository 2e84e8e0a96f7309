// What every page of the wizard shares: its texts from the catalogue, the
// window-menu About entry, the caption, error messages and the page chain.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "app/dialog_framework.h"
#include "app/upgrade_app.h"
#include "wizard/process_launcher.h"

namespace quillet {

// What the pages work with. The caller keeps ownership; all three outlive
// every page.
struct WizardContext {
    UpgradeApp& app;
    DialogFramework& framework;
    ProcessLauncher& launcher;
};

// A page with static text fields whose texts come from the catalogue: field
// kFieldIdBase + n shows the text of offset n in the user's language set.
//
// A page that leads on ends itself in its OK handler first, then runs the next
// page from inside the handler, so the pages form nested modal runs: every
// page under the one on screen has already ended and only waits for its
// handler to return. Cancel, Escape and the close box end any page with 2 and
// the chain unwinds.
class WizardPage : public DialogPage {
public:
    // `fieldIds` in the page's field order; every text starts empty.
    WizardPage(WizardContext& context, int dialogId, std::initializer_list<int> fieldIds);

    // The common initialisation: clear the fields, About entry, caption
    // TargetPrinter, texts from the catalogue, push; returns true.
    bool OnInitDialog() override;
    // Window-menu commands that mask to kAboutCommandId open the About box.
    bool OnSysCommand(int id) override;

protected:
    UpgradeApp& App() const { return context_.app; }
    WizardContext& Context() const { return context_; }

    // The steps of the common initialisation, for pages that insert their
    // own steps between them.
    void AppendAboutEntry();
    void SetCaptionToTargetPrinter();
    void LoadTexts();
    // Shows the text of `offset` in field `fieldId` instead of its own.
    void LoadFieldText(int fieldId, int offset);

    // Shows the catalogue text of `offset` in a box owned by this page, with
    // the application's name as caption; returns when the user has closed it.
    void ShowError(int offset);

private:
    WizardContext& context_;
    std::vector<int> fieldIds_;
    std::vector<std::string> texts_;  // one per field, bound by index
};

// The product name and version, the same in every language. A plain dialog:
// its texts are the layout's own.
class AboutBox : public DialogPage {
public:
    static constexpr int kDialogId = 100;
    explicit AboutBox(DialogFramework& framework) : DialogPage(framework, kDialogId) {}
};

}  // namespace quillet
