#include "platform/qt/dialog_framework_qt.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <system_error>
#include <thread>

#include "platform/qt/page_window.h"

namespace quillet {

// One modal run: a page's, or a message box's (page == nullptr).
struct QtDialogFramework::Run {
    DialogPage* page = nullptr;
    QWidget* widget = nullptr;
    QEventLoop* loop = nullptr;  // while the run waits for input
    bool ended = false;
    int code = kEndFailed;

    void End(int endCode) {
        // A second end before the run returns only replaces the code.
        code = endCode;
        if (ended) {
            return;
        }
        ended = true;
        widget->hide();
        if (loop) {
            loop->exit();
        }
    }
};

// The live window of a page, as the page sees it.
class QtDialogFramework::Window : public DialogWindow {
public:
    Window(Run& run, PageWindow& window) : run_(run), window_(window) {}
    ~Window() override { StopBackgroundWork(); }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    PageWindow& Widget() const { return window_; }

    void SetWindowText(const std::string& text) override { window_.SetCaption(text); }
    std::string GetWindowText() const override { return window_.windowTitle().toStdString(); }
    void SetDlgItemText(int id, const std::string& text) override {
        window_.SetFieldText(id, text);
    }
    std::string GetDlgItemText(int id) const override { return window_.FieldText(id); }
    PrinterListControl* PrinterList(int id) override { return window_.PrinterList(id); }
    bool HasWindowMenu() const override { return true; }
    void AppendWindowMenuSeparator() override { window_.AppendMenuSeparator(); }
    void AppendWindowMenuItem(int commandId, const std::string& text) override {
        window_.AppendMenuEntry(commandId, text);
    }
    void SetIcon(int iconId, IconSize) override {
        // Qt picks the size it needs from one icon.
        if (iconId == kProgramIconId) {
            window_.setWindowIcon(ProgramIcon());
        }
    }
    void EndDialog(int code) override { run_.End(code); }
    void SetTimer(int intervalMs) override {
        if (!timer_) {
            // A child of the page's window, so it goes with it.
            timer_ = new QTimer(&window_);
            QObject::connect(timer_, &QTimer::timeout, timer_, [this] {
                if (run_.ended) {
                    timer_->stop();
                } else {
                    run_.page->OnTimer();
                }
            });
        }
        if (intervalMs > 0) {
            timer_->start(intervalMs);
        } else {
            timer_->stop();
        }
    }
    void RunInBackground(std::function<void(const std::atomic<bool>&)> work,
                         std::function<void()> done) override {
        if (worker_.joinable()) {
            worker_.join();
        }
        // Posted to the page's window, so it runs on the window's thread and
        // goes with the window; the window waits for the worker first.
        auto finish = [this, done = std::move(done)] {
            if (!run_.ended) {
                done();
            }
        };
        try {
            worker_ = std::thread([this, work, finish] {
                work(stop_);
                QMetaObject::invokeMethod(&window_, finish, Qt::QueuedConnection);
            });
        } catch (const std::system_error&) {
            // No thread to be had (the process limit): wait here instead.
            work(stop_);
            finish();
        }
    }

    // Before the window goes: the work still running gives up, and its
    // answer is dropped.
    void StopBackgroundWork() {
        stop_ = true;
        if (worker_.joinable()) {
            worker_.join();
        }
    }

private:
    Run& run_;
    PageWindow& window_;
    QTimer* timer_ = nullptr;
    std::thread worker_;
    std::atomic<bool> stop_{false};
};

QtDialogFramework::QtDialogFramework() : context_(std::make_unique<QObject>()) {}

QtDialogFramework::~QtDialogFramework() = default;

std::string QtDialogFramework::ApplicationName() const {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
}

QWidget* QtDialogFramework::ParentFor(const DialogPage* owner) {
    const auto* window = owner ? dynamic_cast<const Window*>(owner->Window()) : nullptr;
    return window ? &window->Widget() : nullptr;
}

int QtDialogFramework::DoModal(DialogPage& page) {
    const DialogLayout* layout = FindDialogLayout(page.DialogId());
    if (!layout) {
        return kEndFailed;
    }

    // A page other than the main window is owned by it, as a dialog made
    // without a parent while the main window is set.
    QWidget* parent = mainWindow_ != &page ? ParentFor(mainWindow_) : nullptr;
    auto pageWindow = std::make_unique<PageWindow>(*layout, parent);
    Run run;
    run.page = &page;
    run.widget = pageWindow.get();
    Window window(run, *pageWindow);

    QObject::connect(pageWindow.get(), &PageWindow::commandIssued, pageWindow.get(),
                     [this, &run](int id) { Dispatch(run, id); });
    QObject::connect(pageWindow.get(), &PageWindow::sysCommandIssued, pageWindow.get(),
                     [this, &run](int id) { DispatchSysCommand(run, id); });

    runs_.push_back(&run);
    AttachWindow(page, &window);
    const bool focusFirst = page.OnInitDialog();

    if (!run.ended && quitPending_) {
        // The quit request ends the run that next waits for input; it stays
        // posted for the runs further out.
        run.ended = true;
        run.code = kEndFailed;
    }
    if (!run.ended) {
        pageWindow->FitTexts();
        pageWindow->show();
        pageWindow->activateWindow();
        if (focusFirst) {
            pageWindow->FocusFirstControl();
        }
        QEventLoop loop;
        run.loop = &loop;
        AnnounceWaiting(run);
        loop.exec(QEventLoop::DialogExec);
        run.loop = nullptr;
    }

    window.StopBackgroundWork();
    AttachWindow(page, nullptr);
    runs_.pop_back();
    pageWindow.reset();
    ReactivateWaitingRun();
    return run.code;
}

void QtDialogFramework::ReactivateWaitingRun() {
    // As Windows activates the owner when a modal child goes away: the page
    // that still waits takes the keyboard back.
    for (auto it = runs_.rbegin(); it != runs_.rend(); ++it) {
        if (!(*it)->ended && (*it)->widget->isVisible()) {
            (*it)->widget->activateWindow();
            return;
        }
    }
}

void QtDialogFramework::AnnounceWaiting(Run& run) {
    if (!onPageWaiting || run.ended || !run.loop) {
        return;
    }
    QPointer<PageWindow> window(static_cast<PageWindow*>(run.widget));
    DialogPage* page = run.page;
    // The window lives until its run returns, so while it exists so does `run`.
    QTimer::singleShot(0, window.data(), [this, &run, page, window] {
        if (window && !run.ended && onPageWaiting) {
            onPageWaiting(*page, *window);
        }
    });
}

void QtDialogFramework::Dispatch(Run& run, int commandId) {
    // Only a run that still waits takes input; a queued click on a page that
    // has just ended goes nowhere.
    if (run.ended || !run.page) {
        return;
    }
    switch (commandId) {
        case kIdOk:
            run.page->OnOK();
            break;
        case kIdCancel:
            run.page->OnCancel();
            break;
        default:
            run.page->OnCommand(commandId);
            break;
    }
    AnnounceWaiting(run);
}

void QtDialogFramework::DispatchSysCommand(Run& run, int commandId) {
    if (run.ended || !run.page) {
        return;
    }
    if (!run.page->OnSysCommand(commandId) && (commandId & kSysCommandMask) == kSysCommandClose) {
        // The default handling of Close: the page's Cancel.
        run.page->OnCancel();
    }
    AnnounceWaiting(run);
}

void QtDialogFramework::PostQuitMessage(int exitCode) {
    const bool first = !quitPending_;
    quitPending_ = true;
    quitExitCode_ = exitCode;
    if (first) {
        // Taken by the run that next waits for input, i.e. once the handler
        // that posted it has returned to an event loop.
        QTimer::singleShot(0, context_.get(), [this] { EndWaitingRuns(); });
    }
}

void QtDialogFramework::EndWaitingRuns() {
    // A popup (the window menu) runs a loop of its own; close it first.
    while (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    }
    // Innermost first; each loop returns once control is back in it.
    for (auto it = runs_.rbegin(); it != runs_.rend(); ++it) {
        if ((*it)->loop && !(*it)->ended) {
            (*it)->End(kEndFailed);
        }
    }
}

bool QtDialogFramework::RunModalDialog(QDialog& dialog) {
    if (quitPending_) {
        return false;
    }
    Run run;
    run.widget = &dialog;
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, [&run] {
        run.ended = true;
        run.code = kEndOk;
        if (run.loop) {
            run.loop->exit();
        }
    });
    runs_.push_back(&run);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    run.loop = &loop;
    if (onDialogWaiting) {
        QPointer<QDialog> shown(&dialog);
        QTimer::singleShot(0, &dialog, [this, shown] {
            if (shown && onDialogWaiting) {
                onDialogWaiting(*shown);
            }
        });
    }
    if (!run.ended) {
        loop.exec(QEventLoop::DialogExec);
    }
    run.loop = nullptr;
    runs_.pop_back();
    dialog.hide();
    ReactivateWaitingRun();
    return run.code != kEndFailed;
}

void QtDialogFramework::ShowMessage(DialogPage* owner, const std::string& text,
                                    const std::string* caption, MessageIcon icon) {
    std::string title;
    if (caption) {
        title = *caption;
    } else {
        title = owner ? ApplicationName() : std::string(kSystemDefaultCaption);
    }
    QMessageBox box(icon == MessageIcon::Stop ? QMessageBox::Critical : QMessageBox::NoIcon,
                    QString::fromStdString(title), QString::fromStdString(text), QMessageBox::Ok,
                    ParentFor(owner));
    box.setObjectName(QStringLiteral("messageBox"));
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    RunModalDialog(box);
}

}  // namespace quillet
