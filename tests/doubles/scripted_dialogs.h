// A dialog framework that plays the user's clicks from a script and records
// every page it runs and every message box, keeping the contract of
// app/dialog_framework.h: ending hides at once, a run returns only after the
// handler that ended its page, runs nest, and a quit request ends the run that
// next waits for input and stays posted for the runs further out.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/dialog_framework.h"
#include "app/message_box.h"
#include "printer/printer_list.h"
#include "tests/doubles/call_log.h"

namespace quillet::testing {

// One thing the user does while a page waits for input.
struct UserAction {
    enum class Kind {
        Ok,          // the OK button, or Enter
        Cancel,      // the Cancel button (the layout must have one)
        Escape,      // the Escape key
        CloseBox,    // the title bar's close box
        Retry,       // the Retry button (the layout must have one)
        Command,     // a command id, as a front end's menu or shortcut sends it
        SysCommand,  // a window-menu command id
        Select,      // a click on a list entry, by index or by text
    };
    Kind kind = Kind::Ok;
    int id = 0;        // Command, SysCommand, Select by index
    std::string text;  // Select by text

    static UserAction Ok() { return {Kind::Ok, 0, {}}; }
    static UserAction Cancel() { return {Kind::Cancel, 0, {}}; }
    static UserAction Escape() { return {Kind::Escape, 0, {}}; }
    static UserAction CloseBox() { return {Kind::CloseBox, 0, {}}; }
    static UserAction Retry() { return {Kind::Retry, 0, {}}; }
    static UserAction Command(int id) { return {Kind::Command, id, {}}; }
    static UserAction SysCommand(int id) { return {Kind::SysCommand, id, {}}; }
    static UserAction Select(int index) { return {Kind::Select, index, {}}; }
    static UserAction Select(std::string entry) { return {Kind::Select, -1, std::move(entry)}; }

    std::string Describe() const;
};

struct MenuEntry {
    bool separator = false;
    int commandId = 0;
    std::string text;

    bool operator==(const MenuEntry&) const = default;
};

// What a page's window shows at one moment.
struct WindowState {
    std::string caption;
    std::vector<std::pair<int, std::string>> fields;  // static texts, layout order
    std::vector<int> buttons;                         // layout order
    std::vector<std::string> listEntries;
    int listSelection = -1;
    std::vector<MenuEntry> windowMenu;  // what the page appended
    std::vector<std::pair<int, IconSize>> icons;

    // The text of field `id`, or "" when the layout has none.
    std::string Field(int id) const;
};

// One run of a page.
struct PageRun {
    int dialogId = 0;
    int depth = 0;                     // 0 for a run with no run around it
    int parentDialogId = 0;            // the main window's dialog, or 0 for none
    bool created = false;              // false: the run returned -1 at once
    bool shown = false;                // reached the point of waiting for input
    std::vector<int> visibleBehind;    // pages still on screen when it was shown
    WindowState atShow;                // as first shown
    WindowState atEnd;                 // as the window was when its run ended
    std::vector<std::string> actions;  // what the user did, in order
    // What the page did to its window, in order: "Text 811 <text>",
    // "GetText 811", "Caption <text>", "MenuSeparator", "MenuItem 16 <text>",
    // "Icon 128 Large", "End <code>", and for the list "ListReset",
    // "ListAdd <name>", "ListSelectString <prefix>", "ListSetCurSel <index>".
    std::vector<std::string> windowCalls;
    int endCode = 0;
};

struct ScriptedMessage {
    int ownerDialogId = 0;      // 0: no owner
    bool ownerRunning = false;  // the owner was a page whose run was still going
    std::string text;
    std::optional<std::string> caption;  // as passed
    std::string shownCaption;            // what the title bar shows
    MessageIcon icon = MessageIcon::None;
};

class ScriptedWindow;

class ScriptedDialogs : public DialogFramework, public MessageBoxes {
public:
    // Every page shown is logged as "Page <id>", every box as "MessageBox",
    // every quit request as "PostQuitMessage".
    explicit ScriptedDialogs(CallLog& log);
    ~ScriptedDialogs() override;

    // The script: what the user does, in order, each time a page of that
    // dialog waits for input. A page that waits with nothing left to do fails
    // the test and is ended with Escape.
    void Script(int dialogId, std::vector<UserAction> actions);
    void Then(int dialogId, UserAction action);
    // The next run of that dialog cannot create its window and returns -1.
    void FailCreation(int dialogId) { failCreation_.insert(dialogId); }

    std::string applicationName = "Quillet";
    // Called each time a page is first shown, before the user acts on it.
    std::function<void(const PageRun&)> onShow;
    bool hasWindowMenu = true;
    // What a box without owner and without caption shows.
    static constexpr const char* kSystemDefaultCaption = "Error";

    // DialogFramework
    int DoModal(DialogPage& page) override;
    void PostQuitMessage(int exitCode) override;
    void SetMainWindow(DialogPage* page) override { mainWindow_ = page; }
    DialogPage* MainWindow() const override { return mainWindow_; }
    std::string ApplicationName() const override { return applicationName; }

    // MessageBoxes
    void ShowMessage(DialogPage* owner, const std::string& text, const std::string* caption,
                     MessageIcon icon) override;

    // What happened.
    const std::vector<PageRun>& Runs() const { return runs_; }
    // The dialog ids of the pages shown, in order.
    std::vector<int> ShownPages() const;
    // The runs of one dialog, in order.
    std::vector<const PageRun*> RunsOf(int dialogId) const;
    const std::vector<ScriptedMessage>& Messages() const { return messages_; }
    bool QuitPending() const { return quitPending_; }
    int QuitExitCode() const { return quitExitCode_; }
    // The dialogs on screen now, outermost first.
    std::vector<int> VisiblePages() const;
    // Actions scripted but never played, by dialog.
    std::map<int, std::deque<UserAction>> Unplayed() const;

private:
    struct Frame {
        DialogPage* page;
        ScriptedWindow* window;
        std::size_t run;
    };

    void Dispatch(DialogPage& page, ScriptedWindow& window, const UserAction& action);

    CallLog& log_;
    std::map<int, std::deque<UserAction>> script_;
    std::set<int> failCreation_;
    std::vector<PageRun> runs_;
    std::vector<Frame> stack_;
    std::vector<ScriptedMessage> messages_;
    DialogPage* mainWindow_ = nullptr;
    bool quitPending_ = false;
    int quitExitCode_ = 0;
};

}  // namespace quillet::testing
