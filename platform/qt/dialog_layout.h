// Dialog layouts as data: the pages' and the About box's controls, read from
// resources/layouts/ at start-up. Plain C++, so the layouts can be checked
// without a toolkit; platform/qt/page_window.h turns one into a window.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// A rectangle in dialog units.
struct LayoutRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

enum class ControlKind {
    Text,    // static text, left aligned, wraps
    List,    // sorted single-selection list with a border and a vertical scroll bar
    Button,  // push button
    Icon,    // the program icon
};

struct LayoutControl {
    ControlKind kind = ControlKind::Text;
    int id = -1;  // -1: a static control nobody addresses
    LayoutRect rect;
    std::string text;  // placeholder or fixed text; a button's label
    bool isDefault = false;
    int iconId = 0;
};

// An entry of the window menu that issues one of the page's commands.
struct MenuCommand {
    int id = 0;
    std::string label;     // with the & of its mnemonic
    std::string shortcut;  // in the portable form of Qt's key sequences, e.g. "Ctrl+I"
};

struct LayoutDialog {
    int id = 0;
    std::string name;
    int width = 0;
    int height = 0;
    std::string fontFace;
    int fontPoints = 8;
    std::string caption;
    bool visibleWhenCreated = false;
    bool appWindow = false;
    std::vector<LayoutControl> controls;  // in tab order
    std::vector<MenuCommand> menuCommands;

    // The control with that id, or nullptr.
    const LayoutControl* Control(int controlId) const;
};

class DialogLayouts {
  public:
    // The layouts built into the program.
    static const DialogLayouts& Builtin();

    // Adds the dialogs of one layout file (format: resources/layouts/pages.txt).
    // False on a malformed line; `error` then says which.
    bool AddFile(std::string_view content, std::string* error = nullptr);

    // The dialog with that id, or nullptr.
    const LayoutDialog* Find(int dialogId) const;
    const std::vector<LayoutDialog>& All() const { return dialogs_; }

  private:
    std::vector<LayoutDialog> dialogs_;
};

// MulDiv as Windows rounds it: value * numerator / denominator, to nearest.
int MulDivRound(int value, int numerator, int denominator);

// Dialog units to pixels with the dialog font's base units.
struct DialogBaseUnits {
    int x = 1;  // average character width in pixels
    int y = 1;  // character height in pixels

    int ToPixelsX(int units) const { return MulDivRound(units, x, 4); }
    int ToPixelsY(int units) const { return MulDivRound(units, y, 8); }
};

}  // namespace quillet
