// The dialog framework on Qt Widgets (contract: app/dialog_framework.h), and
// the message boxes of its pages (interface: app/message_box.h).
//
// Each modal run has a QEventLoop of its own, nested on the stack of the
// handler that started it. Ending a page hides its window at once and exits
// its loop; the loop returns once the handler that ended it has returned, as
// QEventLoop::exit takes effect only when the event being dispatched is done.
//
// The window menu of Windows has no counterpart a program can extend on Linux,
// where the window manager owns it. Its stand-in is the page's context menu:
// right click, the Menu key, Shift+F10 or Alt+Space open it. It holds the
// layout's commands with their shortcuts, Close (the close box's SC_CLOSE)
// and the entries the page appends (About).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/dialog_framework.h"
#include "app/message_box.h"

class QDialog;
class QEventLoop;
class QObject;
class QWidget;

namespace quillet {

class PageWindow;

class QtDialogFramework : public DialogFramework, public MessageBoxes {
public:
    // A QApplication must exist. Pages are built from FindDialogLayout().
    QtDialogFramework();
    ~QtDialogFramework() override;

    int DoModal(DialogPage& page) override;
    void PostQuitMessage(int exitCode) override;
    void SetMainWindow(DialogPage* page) override { mainWindow_ = page; }
    DialogPage* MainWindow() const override { return mainWindow_; }
    // The executable's file name without its extension.
    std::string ApplicationName() const override;

    bool QuitPending() const { return quitPending_; }
    int QuitExitCode() const { return quitExitCode_; }

    // The caption a box without owner shows when given none, as Windows
    // captions such a box.
    static constexpr const char* kSystemDefaultCaption = "Error";

    // Plain text, never markup; run as a page is, so that a quit request ends
    // a box as it ends a page. An owned box is a child of its page's window
    // (which exists until the page's run returns, also after the page ended),
    // with the application's name as the default caption.
    void ShowMessage(DialogPage* owner, const std::string& text, const std::string* caption,
                     MessageIcon icon) override;

    // Runs a dialog of the framework's own (a message box) modally: returns
    // when the dialog has finished, or at once when a quit request is or
    // becomes pending, which ends the dialog as it ends a page's run. False
    // when the quit request ended it.
    bool RunModalDialog(QDialog& dialog);

    // Observers, for tests and tools that drive the program: called, from the
    // run's own event loop, each time a page or a message box starts waiting
    // for input, and for a page again after each handler that left it waiting.
    std::function<void(DialogPage&, PageWindow&)> onPageWaiting;
    std::function<void(QDialog&)> onDialogWaiting;

private:
    struct Run;
    class Window;

    // The parent of a window that `owner` owns: the owner's window while it
    // runs on this framework, else none.
    static QWidget* ParentFor(const DialogPage* owner);

    void AnnounceWaiting(Run& run);
    void Dispatch(Run& run, int commandId);
    void DispatchSysCommand(Run& run, int commandId);
    void EndWaitingRuns();
    void ReactivateWaitingRun();

    DialogPage* mainWindow_ = nullptr;
    bool quitPending_ = false;
    int quitExitCode_ = 0;
    std::vector<Run*> runs_;  // outermost first
    // Context of the framework's queued calls, which go with it.
    std::unique_ptr<QObject> context_;
};

}  // namespace quillet
