// The printer list of the selection page on Qt Widgets (interface:
// printer/printer_list.h).
#pragma once

#include <QMetaObject>

#include "printer/printer_list.h"

class QListWidget;

namespace quillet {

// A QListWidget that shows a PrinterListModel: the model keeps the names'
// exact bytes, their order and the selection, and the user's choice in the
// widget goes to it.
class QtPrinterList : public PrinterListControl {
public:
    explicit QtPrinterList(QListWidget& list);
    ~QtPrinterList() override;
    QtPrinterList(const QtPrinterList&) = delete;
    QtPrinterList& operator=(const QtPrinterList&) = delete;

    void ResetContent() override;
    void AddString(const std::string& name) override;
    bool SelectString(const std::string& prefix) override;
    void SetCurSel(int index) override;
    int GetCurSel() const override { return model_.GetCurSel(); }
    std::string GetText(int index) const override { return model_.GetText(index); }
    int GetCount() const override { return model_.GetCount(); }

private:
    // Show the model's entries and selection in the widget.
    void ShowEntries();
    void ShowSelection();

    QListWidget& list_;
    PrinterListModel model_;
    QMetaObject::Connection userChoice_;
    bool showing_ = false;  // the widget's changes are the model's own
};

}  // namespace quillet
