// The page layouts: parsed from the files of resources/layouts/, built in.
#include <sstream>
#include <utility>

#include "app/data_file.h"
#include "app/dialog_framework.h"
#include "resources/embedded_file.h"

namespace quillet {

namespace {

// Splits a line into its words and the quoted text at its end, if any.
bool SplitLine(std::string_view line, std::vector<std::string>& words, std::string& text,
               bool& hasText) {
    const std::size_t open = line.find('"');
    hasText = open != std::string_view::npos;
    if (hasText) {
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

// Reads words 1 to 5 as id, x, y, width, height.
bool ReadPlacement(const std::vector<std::string>& words, int& id, DialogRect& rect) {
    return words.size() >= 6 && ParseWholeNumber(words[1], id) &&
           ParseWholeNumber(words[2], rect.x) && ParseWholeNumber(words[3], rect.y) &&
           ParseWholeNumber(words[4], rect.width) && ParseWholeNumber(words[5], rect.height);
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
        bool hasText = false;
        if (!SplitLine(line, words, text, hasText)) {
            return DataFileError(error, lineNumber, "unterminated text");
        }
        int id = 0;
        DialogRect rect;
        if (!ReadPlacement(words, id, rect)) {
            return DataFileError(error, lineNumber, "expected a kind, an id and four numbers");
        }
        const std::string& kind = words[0];

        if (kind == "dialog") {
            DialogLayout layout;
            layout.dialogId = id;
            layout.rect = rect;
            layout.caption = text;
            for (std::size_t i = 6; i < words.size(); ++i) {
                if (words[i] == "visible") {
                    layout.visibleAtCreation = true;
                } else if (words[i] == "taskbar") {
                    layout.taskbarButton = true;
                } else {
                    return DataFileError(error, lineNumber, "unknown dialog flag");
                }
            }
            layouts.push_back(std::move(layout));
            current = &layouts.back();
            return true;
        }

        if (current == nullptr) {
            return DataFileError(error, lineNumber, "an item before any dialog");
        }
        DialogItem item;
        item.id = id;
        item.rect = rect;
        item.text = text;
        std::size_t expectedWords = 6;
        if (kind == "text") {
            item.kind = DialogItemKind::Text;
        } else if (kind == "list") {
            item.kind = DialogItemKind::List;
        } else if (kind == "button") {
            item.kind = DialogItemKind::Button;
        } else if (kind == "status") {
            item.kind = DialogItemKind::Status;
        } else if (kind == "icon") {
            item.kind = DialogItemKind::Icon;
            expectedWords = 7;
            if (words.size() != 7 || !ParseWholeNumber(words[6], item.iconId)) {
                return DataFileError(error, lineNumber, "an icon needs its icon id");
            }
        } else {
            return DataFileError(error, lineNumber, "unknown item kind");
        }
        if (words.size() != expectedWords) {
            return DataFileError(error, lineNumber, "unexpected words after the placement");
        }
        current->items.push_back(std::move(item));
        return true;
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
