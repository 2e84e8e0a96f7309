#include "platform/qt/page_window.h"

#include <QBuffer>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImageReader>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <algorithm>
#include <cstdlib>

#include "platform/qt/layout_files.h"

namespace quillet {

namespace {

constexpr int kDialogFontPoints = 8;
constexpr int kSelectPrinterDialogId = 102;

QString FromBytes(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr int kNameRole = Qt::UserRole;

// Static text: a catalogue field or a status line.
bool IsText(DialogItemKind kind) {
    return kind == DialogItemKind::Text || kind == DialogItemKind::Status;
}

const DialogItem* FindItem(const DialogLayout& layout, int id) {
    for (const DialogItem& item : layout.items) {
        if (item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

}  // namespace

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

std::vector<MenuCommand> MenuCommandsOf(int dialogId) {
    if (dialogId == kSelectPrinterDialogId) {
        return {{1017, "&Install Printer Driver...", "Ctrl+I"},
                {1018, "Re&fresh Printer List", "F5"}};
    }
    return {};
}

QIcon ProgramIcon() {
    QIcon icon;
    for (const EmbeddedFile& file : resources::IconFiles()) {
        QBuffer buffer;
        buffer.setData(reinterpret_cast<const char*>(file.data), static_cast<qsizetype>(file.size));
        // XPM is built in; with detection by content left on, Qt would load
        // every image format plug-in to ask each whether it reads the data.
        QImageReader reader(&buffer, "xpm");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (!image.isNull()) {
            icon = QIcon(QPixmap::fromImage(image));
            break;
        }
    }
    return icon;
}

QFont DialogFont() {
    // Not installed: the system's own sans font at the layout's size rather
    // than whatever the font matcher picks for an unknown name. Looked up in
    // the font list: asking the matcher for a missing font would sort every
    // font and load a fallback on the way to the first page.
    const QString family = QStringLiteral("MS Sans Serif");
    const QStringList installed = QFontDatabase::families();
    const bool isInstalled =
        std::any_of(installed.begin(), installed.end(), [&](const QString& name) {
            // A family some foundries share is listed as "Family [Foundry]".
            return name.compare(family, Qt::CaseInsensitive) == 0 ||
                   name.startsWith(family + QStringLiteral(" ["), Qt::CaseInsensitive);
        });
    QFont font =
        isInstalled ? QFont(family) : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(kDialogFontPoints);
    return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogBaseUnits units;
    units.x = std::max(1, (width / 26 + 1) / 2);
    units.y = std::max(1, metrics.height());
    return units;
}

// --- QtPrinterList ---------------------------------------------------------

void QtPrinterList::ResetContent() {
    list_->clear();
}

void QtPrinterList::AddString(const std::string& name) {
    // After equal names, as a sorted list control inserts.
    int index = 0;
    const int count = list_->count();
    while (index < count && !PrinterNameLess(name, GetText(index))) {
        ++index;
    }
    auto* item = new QListWidgetItem(FromBytes(name));
    item->setData(kNameRole, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    list_->insertItem(index, item);
}

bool QtPrinterList::SelectString(const std::string& prefix) {
    for (int i = 0; i < list_->count(); ++i) {
        if (PrinterNameBeginsWith(GetText(i), prefix)) {
            SetCurSel(i);
            return true;
        }
    }
    return false;
}

void QtPrinterList::SetCurSel(int index) {
    if (index < 0 || index >= list_->count()) {
        list_->clearSelection();
        return;
    }
    list_->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    list_->scrollToItem(list_->item(index));
}

int QtPrinterList::GetCurSel() const {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->row(selected.first());
}

std::string QtPrinterList::GetText(int index) const {
    const QListWidgetItem* item = list_->item(index);
    if (!item) {
        return {};
    }
    const QByteArray bytes = item->data(kNameRole).toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

int QtPrinterList::GetCount() const {
    return list_->count();
}

// --- PageWindow ------------------------------------------------------------

PageWindow::PageWindow(const DialogLayout& layout, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      layout_(layout),
      menuCommands_(MenuCommandsOf(layout.dialogId)) {
    setObjectName(QStringLiteral("dialog%1").arg(layout.dialogId));
    setModal(true);
    setFont(DialogFont());
    baseUnits_ = BaseUnitsOf(font());
    setWindowTitle(FromBytes(layout.caption));

    QWidget* previousFocusable = nullptr;
    for (const DialogItem& control : layout.items) {
        QWidget* widget = nullptr;
        switch (control.kind) {
            case DialogItemKind::Text:
            case DialogItemKind::Status: {
                auto* label = new QLabel(this);
                label->setTextFormat(Qt::PlainText);
                label->setWordWrap(true);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                label->setText(FromBytes(control.text));
                widget = label;
                break;
            }
            case DialogItemKind::List: {
                auto* list = new QListWidget(this);
                list->setSelectionMode(QAbstractItemView::SingleSelection);
                list->setFrameShape(QFrame::StyledPanel);
                list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
                list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                list->setUniformItemSizes(true);
                printerLists_[control.id] = std::make_unique<QtPrinterList>(list);
                widget = list;
                break;
            }
            case DialogItemKind::Button: {
                auto* button = new QPushButton(FromBytes(control.text), this);
                button->setDefault(control.id == kIdOk);
                const int id = control.id;
                connect(button, &QPushButton::clicked, this,
                        [this, id] { emit commandIssued(id); });
                widget = button;
                break;
            }
            case DialogItemKind::Icon: {
                auto* label = new QLabel(this);
                const QIcon icon = ProgramIcon();
                label->setPixmap(icon.pixmap(32, 32));
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                label->setAccessibleName(QStringLiteral("Quillet"));
                widget = label;
                break;
            }
        }
        if (control.id >= 0) {
            widget->setObjectName(QStringLiteral("control%1").arg(control.id));
        }
        widget->setGeometry(ToPixels(control.rect));
        if (control.id != -1) {
            controls_[control.id] = widget;
        }
        ordered_.emplace_back(&control, widget);
        if (widget->focusPolicy() & Qt::TabFocus) {
            if (previousFocusable) {
                setTabOrder(previousFocusable, widget);
            }
            previousFocusable = widget;
        }
    }

    // The page's own commands that no control issues, and the keys that open
    // the menu the way Alt+Space and Shift+F10 open a window menu.
    for (const MenuCommand& command : menuCommands_) {
        auto* shortcut = new QShortcut(QKeySequence(QString::fromUtf8(command.shortcut)), this);
        const int id = command.id;
        connect(shortcut, &QShortcut::activated, this, [this, id] { emit commandIssued(id); });
    }
    for (const QKeySequence& keys :
         {QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::ALT | Qt::Key_Space)}) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this,
                [this] { OpenMenu(mapToGlobal(QPoint(0, 0))); });
    }

    setFixedSize(baseUnits_.ToPixelsX(layout.rect.width), baseUnits_.ToPixelsY(layout.rect.height));
    UpdateListName();
}

PageWindow::~PageWindow() = default;

QRect PageWindow::ToPixels(const DialogRect& rect) const {
    const int left = baseUnits_.ToPixelsX(rect.x);
    const int top = baseUnits_.ToPixelsY(rect.y);
    const int right = baseUnits_.ToPixelsX(rect.x + rect.width);
    const int bottom = baseUnits_.ToPixelsY(rect.y + rect.height);
    return QRect(left, top, right - left, bottom - top);
}

QWidget* PageWindow::Control(int id) const {
    auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

QLabel* PageWindow::TextField(int id) const {
    const DialogItem* control = FindItem(layout_, id);
    return control && IsText(control->kind) ? static_cast<QLabel*>(Control(id)) : nullptr;
}

QPushButton* PageWindow::Button(int id) const {
    const DialogItem* control = FindItem(layout_, id);
    return control && control->kind == DialogItemKind::Button
               ? static_cast<QPushButton*>(Control(id))
               : nullptr;
}

QListWidget* PageWindow::List(int id) const {
    const DialogItem* control = FindItem(layout_, id);
    return control && control->kind == DialogItemKind::List ? static_cast<QListWidget*>(Control(id))
                                                            : nullptr;
}

PrinterListControl* PageWindow::PrinterList(int id) {
    auto found = printerLists_.find(id);
    return found == printerLists_.end() ? nullptr : found->second.get();
}

void PageWindow::SetFieldText(int id, const std::string& text) {
    if (QLabel* label = TextField(id)) {
        const QString value = FromBytes(text);
        if (label->text() != value) {
            label->setText(value);
            FitTexts();
            UpdateListName();
        }
    }
}

std::string PageWindow::FieldText(int id) const {
    const QLabel* label = TextField(id);
    return label ? label->text().toStdString() : std::string();
}

void PageWindow::SetCaption(const std::string& caption) {
    setWindowTitle(FromBytes(caption));
}

void PageWindow::AppendMenuSeparator() {
    appended_.push_back({0, QString()});
}

void PageWindow::AppendMenuEntry(int id, const std::string& label) {
    appended_.push_back({id, FromBytes(label)});
}

QMenu* PageWindow::BuildMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("windowMenu"));
    for (const MenuCommand& command : menuCommands_) {
        QAction* action = menu->addAction(QString::fromUtf8(command.label));
        action->setShortcut(QKeySequence(QString::fromUtf8(command.shortcut)));
        const int id = command.id;
        connect(action, &QAction::triggered, this, [this, id] { emit commandIssued(id); });
    }
    if (!menuCommands_.empty()) {
        menu->addSeparator();
    }
    QAction* close = menu->addAction(tr("&Close"));
    close->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    connect(close, &QAction::triggered, this, [this] { emit sysCommandIssued(kSysCommandClose); });
    for (const MenuEntry& entry : appended_) {
        if (entry.id == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(entry.label);
        const int id = entry.id;
        connect(action, &QAction::triggered, this, [this, id] { emit sysCommandIssued(id); });
    }
    return menu;
}

void PageWindow::OpenMenu(const QPoint& globalPos) {
    QMenu* menu = BuildMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

void PageWindow::FitTexts() {
    std::vector<QRect> rects;
    rects.reserve(ordered_.size());
    int layoutBottom = 0;
    for (const auto& [control, widget] : ordered_) {
        rects.push_back(ToPixels(control->rect));
        layoutBottom = std::max(layoutBottom, rects.back().bottom());
    }

    // Top to bottom, so that a field pushed down by a longer one above is
    // measured where it ends up.
    std::vector<std::size_t> order(ordered_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return rects[a].top() < rects[b].top(); });
    for (std::size_t i : order) {
        if (!IsText(ordered_[i].first->kind)) {
            continue;
        }
        auto* label = static_cast<QLabel*>(ordered_[i].second);
        const int needed = label->text().isEmpty() ? 0 : label->heightForWidth(rects[i].width());
        const int grow = needed - rects[i].height();
        if (grow <= 0) {
            continue;
        }
        const int oldBottom = rects[i].bottom();
        rects[i].setHeight(needed);
        for (std::size_t j = 0; j < rects.size(); ++j) {
            const bool below = rects[j].top() > oldBottom;
            const bool sideBySide =
                rects[j].right() < rects[i].left() || rects[j].left() > rects[i].right();
            if (j != i && below && !sideBySide) {
                rects[j].translate(0, grow);
            }
        }
    }

    int bottom = 0;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        ordered_[i].second->setGeometry(rects[i]);
        bottom = std::max(bottom, rects[i].bottom());
    }
    const int height =
        baseUnits_.ToPixelsY(layout_.rect.height) + std::max(0, bottom - layoutBottom);
    setFixedSize(baseUnits_.ToPixelsX(layout_.rect.width), height);
}

void PageWindow::FocusFirstControl() {
    for (const auto& [control, widget] : ordered_) {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled()) {
            widget->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void PageWindow::reject() {
    // Escape: IDCANCEL, whether or not the layout has a Cancel button.
    emit commandIssued(kIdCancel);
}

void PageWindow::closeEvent(QCloseEvent* event) {
    // The close box: the window menu's Close, which a page ends with Cancel.
    event->ignore();
    emit sysCommandIssued(kSysCommandClose);
}

void PageWindow::contextMenuEvent(QContextMenuEvent* event) {
    // From the Menu key the window system gives the mouse pointer's place,
    // which may be anywhere; open where the page is, as Shift+F10 does.
    OpenMenu(event->reason() == QContextMenuEvent::Keyboard ? mapToGlobal(QPoint(0, 0))
                                                            : event->globalPos());
    event->accept();
}

void PageWindow::UpdateListName() {
    // A list has no label of its own; screen readers name it by the text
    // above it, as they name a Windows list box by the static text before it.
    QLabel* previousText = nullptr;
    for (const auto& [control, widget] : ordered_) {
        if (control->kind == DialogItemKind::Text) {
            previousText = static_cast<QLabel*>(widget);
        } else if (control->kind == DialogItemKind::List) {
            widget->setAccessibleName(previousText ? previousText->text() : QString());
        }
    }
}

}  // namespace quillet
