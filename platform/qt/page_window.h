// The Qt window of one dialog layout: a fixed-size modal dialog with static
// texts, at most one printer list, push buttons and the program icon, placed
// by the layout's dialog units.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/dialog_framework.h"
#include "printer/printer_list.h"

class QLabel;
class QListWidget;
class QMenu;
class QPushButton;

namespace quillet {

// MulDiv as Windows rounds it: value * numerator / denominator, to nearest;
// -1 for a zero denominator.
int MulDivRound(int value, int numerator, int denominator);

// Dialog units to pixels with the dialog font's base units.
struct DialogBaseUnits {
    int x = 1;  // average character width in pixels
    int y = 1;  // character height in pixels

    int ToPixelsX(int units) const { return MulDivRound(units, x, 4); }
    int ToPixelsY(int units) const { return MulDivRound(units, y, 8); }
};

// An entry of the window menu that issues one of the page's commands.
struct MenuCommand {
    int id = 0;
    const char* label;     // with the & of its mnemonic
    const char* shortcut;  // in the portable form of Qt's key sequences
};

// The commands a page answers that no control of its layout issues; the
// window menu and their shortcuts issue them. On the selection page:
// installing the printer driver (1017) and refreshing the list (1018).
std::vector<MenuCommand> MenuCommandsOf(int dialogId);

// The program icon (icon 128), drawn in resources/icon/.
QIcon ProgramIcon();

// The layouts' font, 8-point "MS Sans Serif", or the system's sans font at
// 8 points where that face is not installed (as on Linux).
QFont DialogFont();

// The base units of a font as Windows computes them: the rounded average
// width of "A".."Z" "a".."z", and the font's height.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// The printer list of the selection page: a QListWidget that keeps its
// entries in PrinterNameLess order and holds the names' exact bytes.
class QtPrinterList : public PrinterListControl {
public:
    explicit QtPrinterList(QListWidget* list) : list_(list) {}
    void ResetContent() override;
    void AddString(const std::string& name) override;
    bool SelectString(const std::string& prefix) override;
    void SetCurSel(int index) override;
    int GetCurSel() const override;
    std::string GetText(int index) const override;
    int GetCount() const override;

private:
    QListWidget* list_;
};

class PageWindow : public QDialog {
    Q_OBJECT

public:
    explicit PageWindow(const DialogLayout& layout, QWidget* parent = nullptr);
    ~PageWindow() override;

    const DialogLayout& Layout() const { return layout_; }
    const DialogBaseUnits& BaseUnits() const { return baseUnits_; }
    // A layout rectangle in pixels of the client area.
    QRect ToPixels(const DialogRect& rect) const;

    // The controls by identifier; nullptr when the layout has no such control.
    QWidget* Control(int id) const;
    QLabel* TextField(int id) const;
    QPushButton* Button(int id) const;
    QListWidget* List(int id) const;
    PrinterListControl* PrinterList(int id);

    // Static text of a field or a status line, as plain text: a catalogue text is never
    // interpreted as markup or as a mnemonic.
    void SetFieldText(int id, const std::string& text);
    std::string FieldText(int id) const;
    void SetCaption(const std::string& caption);

    // Window-menu entries the page appends (the About entry). The menu is a
    // stand-in for the window manager's window menu, which a program cannot
    // extend on Linux: it opens on right click, the Menu key, Shift+F10 and
    // Alt+Space.
    void AppendMenuSeparator();
    void AppendMenuEntry(int id, const std::string& label);
    bool HasMenuEntries() const { return !appended_.empty(); }
    // The menu as it would open now; the caller owns it.
    QMenu* BuildMenu();
    void OpenMenu(const QPoint& globalPos);

    // Grows static texts that do not fit their rectangle, and the controls
    // below them and the window with them, so that a long text is shown whole.
    void FitTexts();

    // Gives the focus to the first control, in layout order, that takes it.
    void FocusFirstControl();

signals:
    // A button or a command entry of the menu: its identifier (IDOK 1,
    // IDCANCEL 2 for Escape as well).
    void commandIssued(int id);
    // An entry of the window menu: the About entry's 16, the close box's
    // SC_CLOSE.
    void sysCommandIssued(int id);

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void UpdateListName();

    const DialogLayout& layout_;
    DialogBaseUnits baseUnits_;
    std::map<int, QWidget*> controls_;
    std::vector<std::pair<const DialogItem*, QWidget*>> ordered_;
    std::vector<MenuCommand> menuCommands_;
    std::map<int, std::unique_ptr<QtPrinterList>> printerLists_;
    struct MenuEntry {
        int id;  // 0 for a separator
        QString label;
    };
    std::vector<MenuEntry> appended_;
};

}  // namespace quillet
