#include "platform/qt/dialog_layout.h"

#include <charconv>
#include <cstdlib>
#include <optional>

#include "platform/qt/layout_files.h"

namespace quillet {

namespace {

// Splits a line into words; a word in double quotes may hold spaces, and \"
// and \\ stand for a quote and a backslash inside it.
std::optional<std::vector<std::string>> SplitWords(std::string_view line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\' && i < line.size()) {
                    c = line[i++];
                }
                word.push_back(c);
            }
            if (!closed) {
                return std::nullopt;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
                word.push_back(line[i++]);
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

bool ToInt(const std::string& word, int& value) {
    const char* end = word.data() + word.size();
    auto [ptr, ec] = std::from_chars(word.data(), end, value);
    return ec == std::errc() && ptr == end;
}

bool ToRect(const std::vector<std::string>& words, std::size_t first, LayoutRect& rect) {
    return words.size() >= first + 4 && ToInt(words[first], rect.x) &&
           ToInt(words[first + 1], rect.y) && ToInt(words[first + 2], rect.width) &&
           ToInt(words[first + 3], rect.height) && rect.width >= 0 && rect.height >= 0;
}

// Parses one control line: kind id x y w h [...].
bool ParseControl(const std::vector<std::string>& words, LayoutControl& control) {
    const std::string& kind = words[0];
    if (words.size() < 6 || !ToInt(words[1], control.id) || !ToRect(words, 2, control.rect)) {
        return false;
    }
    if (kind == "text") {
        control.kind = ControlKind::Text;
        if (words.size() > 7) {
            return false;
        }
        control.text = words.size() == 7 ? words[6] : std::string();
        return true;
    }
    if (kind == "list") {
        control.kind = ControlKind::List;
        return words.size() == 6;
    }
    if (kind == "button") {
        control.kind = ControlKind::Button;
        if (words.size() < 7 || words.size() > 8) {
            return false;
        }
        control.text = words[6];
        if (words.size() == 8) {
            if (words[7] != "default") {
                return false;
            }
            control.isDefault = true;
        }
        return true;
    }
    if (kind == "icon") {
        control.kind = ControlKind::Icon;
        return words.size() == 7 && ToInt(words[6], control.iconId);
    }
    return false;
}

}  // namespace

const LayoutControl* LayoutDialog::Control(int controlId) const {
    for (const LayoutControl& control : controls) {
        if (control.id == controlId) {
            return &control;
        }
    }
    return nullptr;
}

const DialogLayouts& DialogLayouts::Builtin() {
    static const DialogLayouts layouts = [] {
        DialogLayouts all;
        for (const EmbeddedFile& file : resources::LayoutFiles()) {
            // The files are checked by the tests; a broken one shows as a
            // page that cannot be made (-1), never as a crash.
            all.AddFile(file.Text());
        }
        return all;
    }();
    return layouts;
}

bool DialogLayouts::AddFile(std::string_view content, std::string* error) {
    std::optional<LayoutDialog> open;
    int lineNumber = 0;
    auto fail = [&](const std::string& why) {
        if (error) {
            *error = "line " + std::to_string(lineNumber) + ": " + why;
        }
        return false;
    };

    while (!content.empty()) {
        const std::size_t newline = content.find('\n');
        std::string_view line = content.substr(0, newline);
        content.remove_prefix(newline == std::string_view::npos ? content.size() : newline + 1);
        ++lineNumber;

        const auto words = SplitWords(line);
        if (!words) {
            return fail("unterminated quoted text");
        }
        if (words->empty() || (*words)[0].starts_with('#')) {
            continue;
        }
        const std::vector<std::string>& w = *words;

        if (w[0] == "dialog") {
            if (open) {
                return fail("dialog inside dialog");
            }
            LayoutDialog dialog;
            if (w.size() < 8 || !ToInt(w[1], dialog.id) || !ToInt(w[3], dialog.width) ||
                !ToInt(w[4], dialog.height) || !ToInt(w[6], dialog.fontPoints) ||
                dialog.fontPoints <= 0) {
                return fail("malformed dialog line");
            }
            dialog.name = w[2];
            dialog.fontFace = w[5];
            dialog.caption = w[7];
            for (std::size_t i = 8; i < w.size(); ++i) {
                if (w[i] == "visible") {
                    dialog.visibleWhenCreated = true;
                } else if (w[i] == "appwindow") {
                    dialog.appWindow = true;
                } else {
                    return fail("unknown dialog flag " + w[i]);
                }
            }
            if (Find(dialog.id)) {
                return fail("dialog " + w[1] + " defined twice");
            }
            open = std::move(dialog);
        } else if (w[0] == "end") {
            if (!open || w.size() != 1) {
                return fail("end without dialog");
            }
            dialogs_.push_back(std::move(*open));
            open.reset();
        } else if (w[0] == "command") {
            MenuCommand command;
            if (!open) {
                return fail("command outside dialog");
            }
            if (w.size() != 4 || !ToInt(w[1], command.id) || w[2].empty()) {
                return fail("malformed command line");
            }
            command.label = w[2];
            command.shortcut = w[3];
            open->menuCommands.push_back(std::move(command));
        } else {
            LayoutControl control;
            if (!open) {
                return fail("control outside dialog");
            }
            if (!ParseControl(w, control)) {
                return fail("malformed control line");
            }
            if (control.id != -1 && open->Control(control.id)) {
                return fail("control " + w[1] + " defined twice");
            }
            open->controls.push_back(std::move(control));
        }
    }
    if (open) {
        return fail("dialog without end");
    }
    return true;
}

const LayoutDialog* DialogLayouts::Find(int dialogId) const {
    for (const LayoutDialog& dialog : dialogs_) {
        if (dialog.id == dialogId) {
            return &dialog;
        }
    }
    return nullptr;
}

int MulDivRound(int value, int numerator, int denominator) {
    if (denominator == 0) {
        return -1;
    }
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = std::llabs(static_cast<long long>(denominator)) / 2;
    const long long rounded = ((product < 0) != (denominator < 0)) ? (product - half) / denominator
                                                                   : (product + half) / denominator;
    return static_cast<int>(rounded);
}

}  // namespace quillet
