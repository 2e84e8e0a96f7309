// The dialog framework the pages run on: modal pages built from a layout,
// their live windows, the quit request and the application's name.
// Back end: platform/qt/ (Qt Widgets); the tests run the pages on it too.
//
// The contract, which every back end keeps:
//
// Modal runs. DialogFramework::DoModal(page) finds the layout of
// page.DialogId(), creates the window, attaches it to the page, calls
// page.OnInitDialog(), then shows the page and dispatches input to it until the
// page has ended. It returns the end code: kEndOk (1), kEndCancel (2), or
// kEndFailed (-1) when the window could not be made (OnInitDialog is then never
// called) or a quit request ended the run. The window is detached and destroyed
// before DoModal returns. A handler may call DoModal again: runs nest, and only
// the innermost run takes input.
//
// Ending. DialogPage::EndDialog(code) hides the window at once and records the
// code; it returns to its caller, and the run returns only after the handler
// that called it has returned (so a handler can end its page and then run the
// next page from inside itself). A page that ends during OnInitDialog is never
// shown. An ended page never comes back on screen. A second EndDialog before
// the run returns replaces the code.
//
// Input dispatch, one call per user action:
//   OK button (id 1) and Enter          -> OnOK()
//   Cancel button (id 2) and Escape     -> OnCancel(), also without a Cancel button
//   close box                           -> OnSysCommand(kSysCommandClose); when that
//                                          returns false, OnCancel()
//   window-menu entry                   -> OnSysCommand(its id); false = default handling
//   any other button or command id      -> OnCommand(id)
// The default handling of kSysCommandClose is the close box's (OnCancel()).
// A layout's commands have no control; the back end offers them from the
// window menu and with their shortcuts.
//
// Windows. Text items show their text as it stands (fixed texts with id -1
// have no mnemonic); GetDlgItemText returns what SetDlgItemText last set.
// SetIcon sets the title-bar and task-bar icon; a back end that minimises
// dialogs to an icon paints that icon and drags it by itself, as no page
// handles painting. Layouts marked visibleAtCreation / taskbarButton (the
// selection page) get their own task-bar entry.
//
// Timer. DialogPage::SetTimer(ms) has the framework call the page's OnTimer()
// about every `ms` milliseconds from the event loop, while the page's run
// waits for input (also while a run nested in it does), until the page ends or
// calls SetTimer(0). A handler that blocks delays the next call; calls never
// overlap. A back end without timers never calls OnTimer().
//
// Background work. DialogWindow::RunInBackground(work, done) runs work(stop)
// on a thread of its own, so that a call that waits never holds up the
// window, and then done() on the page's thread from the event loop, unless
// the page has ended by then. One at a time: a further call first waits for
// the last work to return. When the page's run ends, stop turns true and the
// window waits for the work before it goes, so work must return soon after.
// A back end without threads runs both at once.
//
// Quit request. PostQuitMessage() may be called at any time, also from
// OnInitDialog. The run that next waits for input (the innermost run that is
// still going) returns kEndFailed at once, without showing its page if it has
// not been shown yet, and posts the request again, so that each run further
// out that would wait for input ends the same way. A run that ends for any
// other reason before waiting leaves the request pending for the next one.
//
// Main window. SetMainWindow(page) names the page that is the application's
// main window (nullptr: none). A page run while a main window is set, other
// than that page itself, gets the main window's window as its parent.
//
// Message boxes of a page go through MessageBoxes (app/message_box.h) with the
// page as owner: the back end uses owner->Window() (which still exists while
// the page's handler runs, even after EndDialog) as the parent, and a null
// caption means ApplicationName().
//
// Strings are UTF-8. Everything but background work runs on one thread.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "printer/printer_list.h"

namespace quillet {

class DialogFramework;
class DialogPage;

// End codes of a modal run.
inline constexpr int kEndOk = 1;
inline constexpr int kEndCancel = 2;
inline constexpr int kEndFailed = -1;

// Control and command identifiers.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdRetry = 1020;
inline constexpr int kPrinterListId = 900;
inline constexpr int kProgramIconId = 128;
// A static text field shows the catalogue text of offset (id - kFieldIdBase).
inline constexpr int kFieldIdBase = 800;

// Window-menu commands. The low four bits of an id are the platform's, so
// commands are compared masked.
inline constexpr int kSysCommandMask = 0xFFF0;
inline constexpr int kAboutCommandId = 16;
inline constexpr int kSysCommandClose = 0xF060;

// ---------------------------------------------------------------------------
// Layouts: what DoModal builds a window from. Positions are in dialog units
// of the 8-point "MS Sans Serif" font (x, y, width, height).

struct DialogRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

enum class DialogItemKind {
    Text,    // static text, left-aligned, wraps; shown literally for fixed texts
    List,    // sorted single-selection list with border and vertical scroll bar
    Button,  // push button; id 1 is the default button
    Icon,    // icon `iconId` of the program's resources
    Status,  // a static text line the page fills as things happen; no catalogue text
};

struct DialogItem {
    DialogItemKind kind = DialogItemKind::Text;
    int id = 0;  // -1 for fixed items nothing refers to
    DialogRect rect;
    std::string text;  // placeholder or fixed text; button label ("&Retry")
    int iconId = 0;
};

// A command of the page that no control issues.
struct DialogCommand {
    int id = 0;
    std::string shortcut;  // its keys, as "Ctrl+I" or "F5"
    std::string label;     // with the & of its mnemonic
};

struct DialogLayout {
    int dialogId = 0;
    DialogRect rect;
    std::string caption;  // placeholder; pages set their own
    bool visibleAtCreation = false;
    bool taskbarButton = false;
    std::vector<DialogItem> items;  // in tab order, top to bottom
    std::vector<DialogCommand> commands;
};

// The layout of a dialog, or nullptr when the program has none of that id.
// The layouts are built in from resources/layouts/.
const DialogLayout* FindDialogLayout(int dialogId);

// Parses one layout file (its format is described at the top of
// resources/layouts/pages.txt) and appends its dialogs. False on a malformed
// line, with `error` naming it; the dialogs before it are kept.
bool ParseDialogLayouts(std::string_view content, std::vector<DialogLayout>& layouts,
                        std::string* error = nullptr);

// ---------------------------------------------------------------------------

enum class IconSize { Large, Small };

// A page's live window, as the framework offers it between creation and
// destruction of the window.
class DialogWindow {
public:
    virtual ~DialogWindow() = default;

    // The caption in the title bar.
    virtual void SetWindowText(const std::string& text) = 0;
    virtual std::string GetWindowText() const = 0;

    // The text of a static text field; ids the layout lacks are ignored and
    // read as empty.
    virtual void SetDlgItemText(int id, const std::string& text) = 0;
    virtual std::string GetDlgItemText(int id) const = 0;

    // The list with that id, or nullptr when the layout has none. It lives as
    // long as the window.
    virtual PrinterListControl* PrinterList(int id) = 0;

    // The window menu. HasWindowMenu() is false when there is none.
    virtual bool HasWindowMenu() const = 0;
    virtual void AppendWindowMenuSeparator() = 0;
    virtual void AppendWindowMenuItem(int commandId, const std::string& text) = 0;

    // The title-bar / task-bar icons.
    virtual void SetIcon(int iconId, IconSize size) = 0;

    // Hides the window at once; the run ends with `code` once the current
    // handler has returned. Called through DialogPage::EndDialog.
    virtual void EndDialog(int code) = 0;

    // The page's timer (see the contract above); 0 stops it. Called through
    // DialogPage::SetTimer.
    virtual void SetTimer(int /*intervalMs*/) {}

    // See the contract above. Nothing that `work` uses may belong to the
    // page's thread alone.
    virtual void RunInBackground(std::function<void(const std::atomic<bool>& stop)> work,
                                 std::function<void()> done) {
        const std::atomic<bool> never{false};
        work(never);
        done();
    }
};

// A modal page: its layout id, its handlers and its data exchange.
class DialogPage {
public:
    DialogPage(DialogFramework& framework, int dialogId);
    virtual ~DialogPage();
    DialogPage(const DialogPage&) = delete;
    DialogPage& operator=(const DialogPage&) = delete;

    int DialogId() const { return dialogId_; }
    DialogFramework& Framework() const { return framework_; }

    // Runs the page modally: Framework().DoModal(*this).
    int DoModal();

    // The live window, or nullptr when the page is not running.
    DialogWindow* Window() const { return window_; }

    // Handlers the framework calls (see the dispatch table above).
    // Default: data exchange with save == false (pushes the members, binds
    // the controls); returns true.
    virtual bool OnInitDialog();
    // Default: pull the fields (UpdateData(true)), then EndDialog(kEndOk).
    virtual void OnOK();
    // Default: EndDialog(kEndCancel), no pull.
    virtual void OnCancel();
    // Default: nothing.
    virtual void OnCommand(int id);
    // True when handled; false asks the framework for its default handling.
    virtual bool OnSysCommand(int id);
    // The page's timer has run out. Default: nothing.
    virtual void OnTimer();

    // Data exchange over the binding table: save == false pushes every text
    // member into its field and binds the lists; save == true pulls every
    // field back into its member. False only when the page has no window.
    bool UpdateData(bool save);

    // Ends the page's run with `code` (see the contract above).
    void EndDialog(int code);

    // Starts (or with 0 stops) the page's timer (see the contract above).
    void SetTimer(int intervalMs);

protected:
    // The binding table; the members must outlive the page's runs.
    void BindText(int fieldId, std::string& member);
    void BindList(int listId, PrinterListControl*& control);

private:
    friend class DialogFramework;

    DialogFramework& framework_;
    int dialogId_;
    DialogWindow* window_ = nullptr;
    std::vector<std::pair<int, std::string*>> textBindings_;
    std::vector<std::pair<int, PrinterListControl**>> listBindings_;
};

// The toolkit that runs the pages.
class DialogFramework {
public:
    virtual ~DialogFramework() = default;

    // See the contract above. Blocks until the page's run has ended.
    virtual int DoModal(DialogPage& page) = 0;

    // Posts a quit request (see the contract above).
    virtual void PostQuitMessage(int exitCode) = 0;

    virtual void SetMainWindow(DialogPage* page) = 0;
    virtual DialogPage* MainWindow() const = 0;

    // The executable's file name without its extension ("Quillet").
    virtual std::string ApplicationName() const = 0;

protected:
    // For back ends: attach the live window before OnInitDialog, detach it
    // (nullptr) before the window is destroyed.
    static void AttachWindow(DialogPage& page, DialogWindow* window) { page.window_ = window; }
};

}  // namespace quillet
