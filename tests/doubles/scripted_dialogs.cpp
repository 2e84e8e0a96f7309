#include "tests/doubles/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillet::testing {

std::string UserAction::Describe() const {
    switch (kind) {
        case Kind::Ok:
            return "OK";
        case Kind::Cancel:
            return "Cancel";
        case Kind::Escape:
            return "Escape";
        case Kind::CloseBox:
            return "CloseBox";
        case Kind::Retry:
            return "Retry";
        case Kind::Command:
            return "Command " + std::to_string(id);
        case Kind::SysCommand:
            return "SysCommand " + std::to_string(id);
        case Kind::Select:
            return text.empty() ? "Select " + std::to_string(id) : "Select " + text;
    }
    return "?";
}

std::string WindowState::Field(int id) const {
    for (const auto& [fieldId, text] : fields) {
        if (fieldId == id) {
            return text;
        }
    }
    return "";
}

namespace {

// The list, recording what the page does to it.
class RecordingList : public PrinterListModel {
public:
    explicit RecordingList(std::vector<std::string>& calls) : calls_(calls) {}

    void ResetContent() override {
        calls_.push_back("ListReset");
        PrinterListModel::ResetContent();
    }
    void AddString(const std::string& name) override {
        calls_.push_back("ListAdd " + name);
        PrinterListModel::AddString(name);
    }
    bool SelectString(const std::string& prefix) override {
        calls_.push_back("ListSelectString " + prefix);
        return PrinterListModel::SelectString(prefix);
    }
    void SetCurSel(int index) override {
        calls_.push_back("ListSetCurSel " + std::to_string(index));
        PrinterListModel::SetCurSel(index);
    }

private:
    std::vector<std::string>& calls_;
};

}  // namespace

// A page's window: the layout's items, held as plain values.
class ScriptedWindow : public DialogWindow {
public:
    explicit ScriptedWindow(const DialogLayout& layout) {
        state_.caption = layout.caption;
        for (const DialogItem& item : layout.items) {
            switch (item.kind) {
                case DialogItemKind::Text:
                    state_.fields.emplace_back(item.id, item.text);
                    break;
                case DialogItemKind::Button:
                    state_.buttons.push_back(item.id);
                    break;
                case DialogItemKind::List:
                    lists_[item.id] = std::make_unique<RecordingList>(calls);
                    break;
                case DialogItemKind::Icon:
                case DialogItemKind::Status:
                    break;
            }
        }
    }

    void SetWindowText(const std::string& text) override {
        calls.push_back("Caption " + text);
        state_.caption = text;
    }
    std::string GetWindowText() const override { return state_.caption; }

    void SetDlgItemText(int id, const std::string& text) override {
        calls.push_back("Text " + std::to_string(id) + " " + text);
        for (auto& [fieldId, fieldText] : state_.fields) {
            if (fieldId == id && id > 0) {
                fieldText = text;
            }
        }
    }
    std::string GetDlgItemText(int id) const override {
        calls.push_back("GetText " + std::to_string(id));
        return id > 0 ? state_.Field(id) : "";
    }

    PrinterListControl* PrinterList(int id) override {
        auto found = lists_.find(id);
        return found == lists_.end() ? nullptr : found->second.get();
    }

    bool HasWindowMenu() const override { return hasWindowMenu; }
    void AppendWindowMenuSeparator() override {
        calls.push_back("MenuSeparator");
        state_.windowMenu.push_back({true, 0, ""});
    }
    void AppendWindowMenuItem(int commandId, const std::string& text) override {
        calls.push_back("MenuItem " + std::to_string(commandId) + " " + text);
        state_.windowMenu.push_back({false, commandId, text});
    }

    void SetIcon(int iconId, IconSize size) override {
        calls.push_back("Icon " + std::to_string(iconId) +
                        (size == IconSize::Large ? " Large" : " Small"));
        state_.icons.emplace_back(iconId, size);
    }

    void EndDialog(int code) override {
        calls.push_back("End " + std::to_string(code));
        ended = true;
        visible = false;
        endCode = code;
    }

    bool HasButton(int id) const {
        return std::find(state_.buttons.begin(), state_.buttons.end(), id) != state_.buttons.end();
    }

    WindowState Snapshot() const {
        WindowState state = state_;
        if (!lists_.empty()) {
            const PrinterListModel& list = *lists_.begin()->second;
            state.listEntries = list.Entries();
            state.listSelection = list.GetCurSel();
        }
        return state;
    }

    mutable std::vector<std::string> calls;  // what the page did, for PageRun::windowCalls
    bool hasWindowMenu = true;
    bool visible = false;
    bool ended = false;
    int endCode = 0;

private:
    WindowState state_;
    std::map<int, std::unique_ptr<PrinterListModel>> lists_;
};

ScriptedDialogs::ScriptedDialogs(CallLog& log) : log_(log) {}

ScriptedDialogs::~ScriptedDialogs() = default;

void ScriptedDialogs::Script(int dialogId, std::vector<UserAction> actions) {
    for (UserAction& action : actions) {
        script_[dialogId].push_back(std::move(action));
    }
}

void ScriptedDialogs::Then(int dialogId, UserAction action) {
    script_[dialogId].push_back(std::move(action));
}

int ScriptedDialogs::DoModal(DialogPage& page) {
    const std::size_t runIndex = runs_.size();
    runs_.push_back({});
    {
        PageRun& run = runs_.back();
        run.dialogId = page.DialogId();
        run.depth = static_cast<int>(stack_.size());
        if (mainWindow_ != nullptr && mainWindow_ != &page) {
            run.parentDialogId = mainWindow_->DialogId();
        }
    }

    const DialogLayout* layout = FindDialogLayout(page.DialogId());
    if (layout == nullptr || failCreation_.erase(page.DialogId()) != 0) {
        runs_[runIndex].endCode = kEndFailed;
        return kEndFailed;
    }
    runs_[runIndex].created = true;

    ScriptedWindow window(*layout);
    window.hasWindowMenu = hasWindowMenu;
    stack_.push_back({&page, &window, runIndex});
    AttachWindow(page, &window);

    page.OnInitDialog();

    // The modal loop: each pass waits for one input, unless the page has
    // ended or a quit request is pending.
    int code = kEndFailed;
    std::size_t guard = 0;
    while (true) {
        if (window.ended) {
            code = window.endCode;
            break;
        }
        if (quitPending_) {
            // Stays posted, for the runs further out.
            code = kEndFailed;
            window.visible = false;
            break;
        }
        if (!window.visible && !runs_[runIndex].shown) {
            std::vector<int> behind = VisiblePages();
            window.visible = true;
            PageRun& run = runs_[runIndex];
            run.shown = true;
            run.visibleBehind = std::move(behind);
            run.atShow = window.Snapshot();
            log_.Record("Page " + std::to_string(page.DialogId()));
            if (onShow) {
                onShow(runs_[runIndex]);
            }
        }
        auto& pending = script_[page.DialogId()];
        if (pending.empty() || ++guard > 1000) {
            ADD_FAILURE() << "page " << page.DialogId() << " waits, but the script has no action";
            runs_[runIndex].actions.push_back("(Escape: script ran out)");
            page.OnCancel();
            continue;
        }
        const UserAction action = pending.front();
        pending.pop_front();
        runs_[runIndex].actions.push_back(action.Describe());
        Dispatch(page, window, action);
    }

    runs_[runIndex].atEnd = window.Snapshot();
    runs_[runIndex].windowCalls = window.calls;
    runs_[runIndex].endCode = code;
    AttachWindow(page, nullptr);
    stack_.pop_back();
    return code;
}

void ScriptedDialogs::Dispatch(DialogPage& page, ScriptedWindow& window, const UserAction& action) {
    using Kind = UserAction::Kind;
    switch (action.kind) {
        case Kind::Ok:
            page.OnOK();
            break;
        case Kind::Cancel:
            if (!window.HasButton(kIdCancel)) {
                ADD_FAILURE() << "page " << page.DialogId() << " has no Cancel button";
                break;
            }
            page.OnCancel();
            break;
        case Kind::Escape:
            page.OnCancel();
            break;
        case Kind::CloseBox:
            if (!page.OnSysCommand(kSysCommandClose)) {
                page.OnCancel();
            }
            break;
        case Kind::Retry:
            if (!window.HasButton(kIdRetry)) {
                ADD_FAILURE() << "page " << page.DialogId() << " has no Retry button";
                break;
            }
            page.OnCommand(kIdRetry);
            break;
        case Kind::Command:
            page.OnCommand(action.id);
            break;
        case Kind::SysCommand:
            // The default handling of the close command is the close box's.
            if (!page.OnSysCommand(action.id) &&
                (action.id & kSysCommandMask) == kSysCommandClose) {
                page.OnCancel();
            }
            break;
        case Kind::Select: {
            PrinterListControl* list = window.PrinterList(kPrinterListId);
            if (list == nullptr) {
                ADD_FAILURE() << "page " << page.DialogId() << " has no list";
                break;
            }
            int index = action.id;
            if (!action.text.empty()) {
                index = -1;
                for (int i = 0; i < list->GetCount(); ++i) {
                    if (list->GetText(i) == action.text) {
                        index = i;
                    }
                }
                if (index < 0) {
                    ADD_FAILURE() << "the list has no entry " << action.text;
                    break;
                }
            }
            list->SetCurSel(index);
            break;
        }
    }
}

void ScriptedDialogs::PostQuitMessage(int exitCode) {
    log_.Record("PostQuitMessage");
    quitPending_ = true;
    quitExitCode_ = exitCode;
}

void ScriptedDialogs::ShowMessage(DialogPage* owner, const std::string& text,
                                  const std::string* caption, MessageIcon icon) {
    log_.Record("MessageBox");
    ScriptedMessage message;
    message.text = text;
    message.icon = icon;
    if (caption != nullptr) {
        message.caption = *caption;
    }
    if (owner != nullptr) {
        message.ownerDialogId = owner->DialogId();
        message.ownerRunning = std::any_of(stack_.begin(), stack_.end(), [&](const Frame& frame) {
            return frame.page == owner && owner->Window() == frame.window;
        });
        message.shownCaption = caption != nullptr ? *caption : applicationName;
    } else {
        message.shownCaption = caption != nullptr ? *caption : kSystemDefaultCaption;
    }
    messages_.push_back(std::move(message));
}

std::vector<int> ScriptedDialogs::ShownPages() const {
    std::vector<int> shown;
    for (const PageRun& run : runs_) {
        if (run.shown) {
            shown.push_back(run.dialogId);
        }
    }
    return shown;
}

std::vector<const PageRun*> ScriptedDialogs::RunsOf(int dialogId) const {
    std::vector<const PageRun*> found;
    for (const PageRun& run : runs_) {
        if (run.dialogId == dialogId) {
            found.push_back(&run);
        }
    }
    return found;
}

std::vector<int> ScriptedDialogs::VisiblePages() const {
    std::vector<int> visible;
    for (const Frame& frame : stack_) {
        if (frame.window->visible) {
            visible.push_back(frame.page->DialogId());
        }
    }
    return visible;
}

std::map<int, std::deque<UserAction>> ScriptedDialogs::Unplayed() const {
    std::map<int, std::deque<UserAction>> left;
    for (const auto& [dialogId, actions] : script_) {
        if (!actions.empty()) {
            left[dialogId] = actions;
        }
    }
    return left;
}

}  // namespace quillet::testing
