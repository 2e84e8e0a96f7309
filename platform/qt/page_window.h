// The Qt window of one dialog layout: a fixed-size modal dialog with static
// texts, at most one printer list, push buttons and the program icon, placed
// by the layout's dialog units, and the layout's commands in its menu.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/dialog_framework.h"
#include "platform/qt/dialog_units.h"

class QLabel;
class QListWidget;
class QMenu;
class QPushButton;

namespace quillet {

class QtPrinterList;

// The program icon (icon 128), drawn in resources/icon/.
QIcon ProgramIcon();

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

    // Window-menu entries the page appends (the About entry) after the
    // layout's commands and Close. The menu is a stand-in for the window manager's window menu,
    // which a program cannot extend on Linux: it opens on right click, the Menu key, Shift+F10 and
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
    QWidget* MakeControl(const DialogItem& control);
    void AddControls();
    void AddShortcuts();
    void UpdateListName();

    const DialogLayout& layout_;
    DialogBaseUnits baseUnits_;
    std::map<int, QWidget*> controls_;
    std::vector<std::pair<const DialogItem*, QWidget*>> ordered_;
    std::map<int, std::unique_ptr<QtPrinterList>> printerLists_;
    struct MenuEntry {
        int id;  // 0 for a separator
        QString label;
    };
    std::vector<MenuEntry> appended_;
};

}  // namespace quillet
