// The transfer benchmark's build of the program: it presses OK on every page
// up to the download page. Just before OK on the download-ready page it
// prints "ok <ns>", and once the download page has been painted "shown <ns>",
// both on the steady clock, which the benchmark shares; then it posts a quit
// request, so that the program ends the way it does after a failed transfer.
#include <QApplication>
#include <QEvent>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "platform/qt/dialog_framework_qt.h"
#include "platform/qt/page_window.h"
#include "platform/qt/program_hooks.h"

namespace quillet {

namespace {

constexpr int kDownloadReadyPage = 132;
constexpr int kDownloadPage = 133;

void PrintNow(const char* what) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("%s %lld\n", what, static_cast<long long>(std::chrono::nanoseconds(now).count()));
    std::fflush(stdout);
}

class DownloadPageTimer : public QObject, public ProgramHooks {
public:
    explicit DownloadPageTimer(QtDialogFramework& framework) : framework_(framework) {
        framework_.onPageWaiting = [this](DialogPage& page, PageWindow& window) {
            if (page.DialogId() == kDownloadPage) {
                return;
            }
            if (page.DialogId() == kDownloadReadyPage) {
                qApp->installEventFilter(this);
                PrintNow("ok");
            }
            window.Button(kIdOk)->click();
        };
    }
    ~DownloadPageTimer() override { framework_.onPageWaiting = nullptr; }

protected:
    // As the start-up benchmark marks its first page: the paint, and the
    // children's paints of the same pass, have returned to the event loop.
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = qobject_cast<PageWindow*>(watched);
        if (event->type() == QEvent::Paint && window != nullptr &&
            window->Layout().dialogId == kDownloadPage) {
            qApp->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                PrintNow("shown");
                framework_.PostQuitMessage(0);
            });
        }
        return false;
    }

private:
    QtDialogFramework& framework_;
};

}  // namespace

std::unique_ptr<ProgramHooks> MakeProgramHooks(QtDialogFramework& framework) {
    return std::make_unique<DownloadPageTimer>(framework);
}

}  // namespace quillet
