// The start-up benchmark's build of the program: prints "shown" once the
// first page has been painted, then posts a quit request as soon as that page
// waits for input, so that the program ends the way it does after a failed
// transfer.
#include "first_paint_marker.h"
#include "platform/qt/dialog_framework_qt.h"
#include "platform/qt/program_hooks.h"

namespace quillet {

namespace {

class FirstPageTimer : public ProgramHooks {
public:
    explicit FirstPageTimer(QtDialogFramework& framework)
        : framework_(framework), marker_([this] {
              shown_ = true;
              QuitOnceBoth();
          }) {
        framework_.onPageWaiting = [this](DialogPage&, PageWindow&) {
            waiting_ = true;
            QuitOnceBoth();
        };
    }
    ~FirstPageTimer() override { framework_.onPageWaiting = nullptr; }

private:
    // The page may wait for input before or after its first paint.
    void QuitOnceBoth() {
        if (shown_ && waiting_ && !quitPosted_) {
            quitPosted_ = true;
            framework_.PostQuitMessage(0);
        }
    }

    QtDialogFramework& framework_;
    bool shown_ = false;
    bool waiting_ = false;
    bool quitPosted_ = false;
    FirstPaintMarker marker_;
};

}  // namespace

std::unique_ptr<ProgramHooks> MakeProgramHooks(QtDialogFramework& framework) {
    return std::make_unique<FirstPageTimer>(framework);
}

}  // namespace quillet
