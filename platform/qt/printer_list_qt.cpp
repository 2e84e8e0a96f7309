#include "platform/qt/printer_list_qt.h"

#include <QListWidget>

namespace quillet {

QtPrinterList::QtPrinterList(QListWidget& list) : list_(list) {
    userChoice_ = QObject::connect(&list_, &QListWidget::itemSelectionChanged, &list_, [this] {
        if (!showing_) {
            const QList<QListWidgetItem*> selected = list_.selectedItems();
            model_.SetCurSel(selected.isEmpty() ? -1 : list_.row(selected.first()));
        }
    });
}

QtPrinterList::~QtPrinterList() {
    // The widget outlives this object, and its own end may still change its
    // selection.
    QObject::disconnect(userChoice_);
}

void QtPrinterList::ResetContent() {
    model_.ResetContent();
    ShowEntries();
}

void QtPrinterList::AddString(const std::string& name) {
    model_.AddString(name);
    ShowEntries();
}

bool QtPrinterList::SelectString(const std::string& prefix) {
    const bool found = model_.SelectString(prefix);
    ShowSelection();
    return found;
}

void QtPrinterList::SetCurSel(int index) {
    model_.SetCurSel(index);
    ShowSelection();
}

void QtPrinterList::ShowEntries() {
    // Filled anew: a list of the local printers is short.
    showing_ = true;
    list_.clear();
    for (const std::string& name : model_.Entries()) {
        list_.addItem(QString::fromStdString(name));
    }
    showing_ = false;
    ShowSelection();
}

void QtPrinterList::ShowSelection() {
    showing_ = true;
    const int index = model_.GetCurSel();
    if (index < 0) {
        list_.clearSelection();
    } else {
        list_.setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
        list_.scrollToItem(list_.item(index));
    }
    showing_ = false;
}

}  // namespace quillet
