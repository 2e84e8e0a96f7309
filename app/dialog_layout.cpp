// The page layouts: parsed from the files of resources/layouts/, built in.
#include <algorithm>
#include <sstream>
#include <utility>

#include "app/data_file.h"
#include "app/dialog_framework.h"
#include "resources/embedded_file.h"

namespace quillet {

namespace {

// Splits a line into its words and the quoted text at its end, if any.
bool SplitLine(std::string_view line, std::vector<std::string>& words, std::string& text) {
    const std::size_t open = line.find('"');
    if (open != std::string_view::npos) {
        const std::size_t close = line.rfind('"');
        if (close == open) {
            return false;
        }
        text = std::string(line.substr(open + 1, close - open - 1));
        line = line.substr(0, open);
    }
    std::istringstream stream{std::string(line)};
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return true;
}

constexpr const char* kBadPlacement = "expected a kind, an id and four numbers";

// Reads words 1 to 5 as id, x, y, width, height.
bool ReadPlacement(const std::vector<std::string>& words, int& id, DialogRect& rect) {
    return words.size() >= 6 && ParseWholeNumber(words[1], id) &&
           ParseWholeNumber(words[2], rect.x) && ParseWholeNumber(words[3], rect.y) &&
           ParseWholeNumber(words[4], rect.width) && ParseWholeNumber(words[5], rect.height);
}

// The readers of the lines below return what is wrong with the line, or
// nullptr when they have appended what it describes.

const char* ReadDialog(const std::vector<std::string>& words, const std::string& caption,
                       std::vector<DialogLayout>& layouts) {
    DialogLayout layout;
    if (!ReadPlacement(words, layout.dialogId, layout.rect)) {
        return kBadPlacement;
    }
    layout.caption = caption;
    for (std::size_t i = 6; i < words.size(); ++i) {
        if (words[i] == "visible") {
            layout.visibleAtCreation = true;
        } else if (words[i] == "taskbar") {
            layout.taskbarButton = true;
        } else {
            return "unknown dialog flag";
        }
    }
    layouts.push_back(std::move(layout));
    return nullptr;
}

const char* ReadItem(const std::vector<std::string>& words, const std::string& text,
                     DialogLayout& dialog) {
    static const std::pair<std::string_view, DialogItemKind> kinds[] = {
        {"text", DialogItemKind::Text},     {"list", DialogItemKind::List},
        {"button", DialogItemKind::Button}, {"icon", DialogItemKind::Icon},
        {"status", DialogItemKind::Status},
    };
    const auto kind =
        std::ranges::find(kinds, words[0], [](const auto& entry) { return entry.first; });
    if (kind == std::end(kinds)) {
        return "unknown item kind";
    }
    DialogItem item;
    if (!ReadPlacement(words, item.id, item.rect)) {
        return kBadPlacement;
    }
    item.kind = kind->second;
    item.text = text;
    // Only an icon has a word after its placement: its icon id.
    const bool isIcon = item.kind == DialogItemKind::Icon;
    if (isIcon && (words.size() != 7 || !ParseWholeNumber(words[6], item.iconId))) {
        return "an icon needs its icon id";
    }
    if (words.size() != (isIcon ? 7u : 6u)) {
        return "unexpected words after the placement";
    }
    dialog.items.push_back(std::move(item));
    return nullptr;
}

const char* ReadCommand(const std::vector<std::string>& words, const std::string& label,
                        DialogLayout& dialog) {
    DialogCommand command;
    if (words.size() != 3 || !ParseWholeNumber(words[1], command.id) || label.empty()) {
        return "a command needs an id, its keys and its label";
    }
    command.shortcut = words[2];
    command.label = label;
    dialog.commands.push_back(std::move(command));
    return nullptr;
}

}  // namespace

bool ParseDialogLayouts(std::string_view content, std::vector<DialogLayout>& layouts,
                        std::string* error) {
    DialogLayout* current = nullptr;
    return ForEachLine(content, [&](int lineNumber, std::string_view line) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos || line[start] == '#') {
            return true;
        }
        std::vector<std::string> words;
        std::string text;
        if (!SplitLine(line, words, text)) {
            return DataFileError(error, lineNumber, "unterminated text");
        }
        if (words.empty()) {
            return DataFileError(error, lineNumber, "a text without a kind");
        }

        // Items and commands belong to the dialog above them.
        const char* wrong = "an item before any dialog";
        if (words[0] == "dialog") {
            wrong = ReadDialog(words, text, layouts);
            current = wrong == nullptr ? &layouts.back() : current;
        } else if (current != nullptr) {
            wrong = words[0] == "command" ? ReadCommand(words, text, *current)
                                          : ReadItem(words, text, *current);
        }
        return wrong == nullptr || DataFileError(error, lineNumber, wrong);
    });
}

const DialogLayout* FindDialogLayout(int dialogId) {
    static const std::vector<DialogLayout> layouts = [] {
        std::vector<DialogLayout> parsed;
        for (const EmbeddedFile& file : resources::LayoutFiles()) {
            ParseDialogLayouts(file.Text(), parsed);
        }
        return parsed;
    }();
    for (const DialogLayout& layout : layouts) {
        if (layout.dialogId == dialogId) {
            return &layout;
        }
    }
    return nullptr;
}

}  // namespace quillet
