#include "platform/qt/page_window.h"

#include <QBuffer>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QImageReader>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <algorithm>

#include "platform/qt/layout_files.h"
#include "platform/qt/printer_list_qt.h"

namespace quillet {

namespace {

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

PageWindow::PageWindow(const DialogLayout& layout, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      layout_(layout) {
    setObjectName(QStringLiteral("dialog%1").arg(layout.dialogId));
    setModal(true);
    setFont(DialogFont());
    baseUnits_ = BaseUnitsOf(font());
    setWindowTitle(QString::fromStdString(layout.caption));
    AddControls();
    AddShortcuts();
    setFixedSize(baseUnits_.ToPixelsX(layout.rect.width), baseUnits_.ToPixelsY(layout.rect.height));
    UpdateListName();
}

QWidget* PageWindow::MakeControl(const DialogItem& control) {
    switch (control.kind) {
        case DialogItemKind::Text:
        case DialogItemKind::Status: {
            auto* label = new QLabel(this);
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setText(QString::fromStdString(control.text));
            return label;
        }
        case DialogItemKind::List: {
            auto* list = new QListWidget(this);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            list->setFrameShape(QFrame::StyledPanel);
            list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            list->setUniformItemSizes(true);
            printerLists_[control.id] = std::make_unique<QtPrinterList>(*list);
            return list;
        }
        case DialogItemKind::Button: {
            auto* button = new QPushButton(QString::fromStdString(control.text), this);
            button->setDefault(control.id == kIdOk);
            const int id = control.id;
            connect(button, &QPushButton::clicked, this, [this, id] { emit commandIssued(id); });
            return button;
        }
        case DialogItemKind::Icon: {
            auto* label = new QLabel(this);
            label->setPixmap(ProgramIcon().pixmap(32, 32));
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setAccessibleName(QStringLiteral("Quillet"));
            return label;
        }
    }
    Q_UNREACHABLE();
    return nullptr;
}

void PageWindow::AddControls() {
    // In layout order, which is the tab order.
    QWidget* previousFocusable = nullptr;
    for (const DialogItem& control : layout_.items) {
        QWidget* widget = MakeControl(control);
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
}

void PageWindow::AddShortcuts() {
    // The page's own commands that no control issues, and the keys that open
    // the menu the way Alt+Space and Shift+F10 open a window menu.
    for (const DialogCommand& command : layout_.commands) {
        auto* shortcut =
            new QShortcut(QKeySequence(QString::fromStdString(command.shortcut)), this);
        const int id = command.id;
        connect(shortcut, &QShortcut::activated, this, [this, id] { emit commandIssued(id); });
    }
    for (const QKeySequence& keys :
         {QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::ALT | Qt::Key_Space)}) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this,
                [this] { OpenMenu(mapToGlobal(QPoint(0, 0))); });
    }
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
        const QString value = QString::fromStdString(text);
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
    setWindowTitle(QString::fromStdString(caption));
}

void PageWindow::AppendMenuSeparator() {
    appended_.push_back({0, QString()});
}

void PageWindow::AppendMenuEntry(int id, const std::string& label) {
    appended_.push_back({id, QString::fromStdString(label)});
}

QMenu* PageWindow::BuildMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("windowMenu"));
    for (const DialogCommand& command : layout_.commands) {
        QAction* action = menu->addAction(QString::fromStdString(command.label));
        action->setShortcut(QKeySequence(QString::fromStdString(command.shortcut)));
        const int id = command.id;
        connect(action, &QAction::triggered, this, [this, id] { emit commandIssued(id); });
    }
    if (!layout_.commands.empty()) {
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
