// Filling the printer-selection list with the local printers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "printer/spooler.h"

namespace quillet {

// The list that shows the printers: a single-selection list that keeps its
// entries sorted by itself.
class PrinterListControl {
public:
    virtual ~PrinterListControl() = default;
    virtual void ResetContent() = 0;
    // Adds a copy of the name at its sorted place.
    virtual void AddString(const std::string& name) = 0;
    // Selects the first entry, from the top, that PrinterNameBeginsWith the
    // prefix. False when none does; the selection is then left as it was.
    virtual bool SelectString(const std::string& prefix) = 0;
    virtual void SetCurSel(int index) = 0;
    // The selected entry's index, or -1 when none is selected.
    virtual int GetCurSel() const = 0;
    virtual std::string GetText(int index) const = 0;
    virtual int GetCount() const = 0;
};

// The list's prefix match: without regard to case, and a space in the prefix
// also matches an underscore, since a queue name cannot hold spaces
// ("Tarvane Nimbrel K7" matches the queue Tarvane_Nimbrel_K7).
bool PrinterNameBeginsWith(std::string_view name, std::string_view prefix);

// The list's sort order: without regard to case, then byte order.
bool PrinterNameLess(std::string_view a, std::string_view b);

// A plain list with the control's behaviour, for any front end to show.
class PrinterListModel : public PrinterListControl {
public:
    void ResetContent() override;
    void AddString(const std::string& name) override;
    bool SelectString(const std::string& prefix) override;
    void SetCurSel(int index) override;
    int GetCurSel() const override { return selection_; }
    std::string GetText(int index) const override;
    int GetCount() const override { return static_cast<int>(entries_.size()); }
    const std::vector<std::string>& Entries() const { return entries_; }

private:
    std::vector<std::string> entries_;
    int selection_ = -1;
};

// Fills the list with the local printers and selects the first entry that
// begins with `targetPrinter`, else the first entry. Returns 1 when at least
// one printer was listed; 0 when there were none, and the list is untouched.
int FillPrinterList(Spooler& spooler, PrinterListControl& list, const std::string& targetPrinter);

}  // namespace quillet
