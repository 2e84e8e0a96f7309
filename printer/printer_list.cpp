#include "printer/printer_list.h"

#include <algorithm>
#include <cctype>

namespace quillet {

namespace {

unsigned char Fold(char c) {
    return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
}

}  // namespace

bool PrinterNameBeginsWith(std::string_view name, std::string_view prefix) {
    if (prefix.size() > name.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (prefix[i] == ' ' && name[i] == '_') {
            continue;
        }
        if (Fold(prefix[i]) != Fold(name[i])) {
            return false;
        }
    }
    return true;
}

bool PrinterNameLess(std::string_view a, std::string_view b) {
    const bool foldedLess = std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) { return Fold(x) < Fold(y); });
    const bool foldedGreater = std::lexicographical_compare(
        b.begin(), b.end(), a.begin(), a.end(), [](char x, char y) { return Fold(x) < Fold(y); });
    if (foldedLess || foldedGreater) {
        return foldedLess;
    }
    return a < b;
}

void PrinterListModel::ResetContent() {
    entries_.clear();
    selection_ = -1;
}

void PrinterListModel::AddString(const std::string& name) {
    // After equal names, like a sorted list control does.
    auto place = std::upper_bound(
        entries_.begin(), entries_.end(), name,
        [](const std::string& a, const std::string& b) { return PrinterNameLess(a, b); });
    const int index = static_cast<int>(place - entries_.begin());
    entries_.insert(place, name);
    if (selection_ >= index) {
        ++selection_;
    }
}

bool PrinterListModel::SelectString(const std::string& prefix) {
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (PrinterNameBeginsWith(entries_[i], prefix)) {
            selection_ = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

void PrinterListModel::SetCurSel(int index) {
    selection_ = (index >= 0 && index < GetCount()) ? index : -1;
}

std::string PrinterListModel::GetText(int index) const {
    return (index >= 0 && index < GetCount()) ? entries_[static_cast<size_t>(index)]
                                              : std::string();
}

int FillPrinterList(Spooler& spooler, PrinterListControl& list, const std::string& targetPrinter) {
    const std::vector<std::string> printers = spooler.EnumLocalPrinters();
    if (printers.empty()) {
        return 0;  // the list keeps what it held, selection too
    }

    list.ResetContent();
    for (const std::string& name : printers) {
        list.AddString(name);
    }
    if (!list.SelectString(targetPrinter)) {
        list.SetCurSel(0);
    }
    return 1;
}

}  // namespace quillet
