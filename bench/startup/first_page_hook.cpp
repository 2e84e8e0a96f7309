// The start-up benchmark's build of the program: prints "shown" once the
// first page is on screen and waits for input, then posts a quit request so
// that the program ends the way it does after a failed transfer.
#include <cstdio>

#include "platform/qt/dialog_framework_qt.h"
#include "platform/qt/program_hooks.h"

namespace quillet {

namespace {

class FirstPageTimer : public ProgramHooks {
public:
    explicit FirstPageTimer(QtDialogFramework& framework) : framework_(framework) {
        framework_.onPageWaiting = [this](DialogPage&, PageWindow&) {
            if (!seen_) {
                seen_ = true;
                std::fputs("shown\n", stdout);
                std::fflush(stdout);
            }
            framework_.PostQuitMessage(0);
        };
    }
    ~FirstPageTimer() override { framework_.onPageWaiting = nullptr; }

private:
    QtDialogFramework& framework_;
    bool seen_ = false;
};

}  // namespace

std::unique_ptr<ProgramHooks> MakeProgramHooks(QtDialogFramework& framework) {
    return std::make_unique<FirstPageTimer>(framework);
}

}  // namespace quillet
