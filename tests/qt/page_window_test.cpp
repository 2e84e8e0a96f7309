// The Qt window of a layout: plain texts, the printer list, the window-menu
// stand-in and accessibility. Keys and buttons are dialog_framework_test's.
#include "platform/qt/page_window.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using quillet::DialogLayout;
using quillet::PageWindow;

namespace {

const DialogLayout& Layout(int id) {
    return *quillet::FindDialogLayout(id);
}

QString AccessibleName(QObject* object) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Name) : QStringLiteral("<no interface>");
}

}  // namespace

class PageWindowTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void textsArePlainLeftAlignedAndWrap();
    void listKeepsNamesSortedAndSelectsByPrefix();
    void windowMenuHoldsCommandsCloseAndAppendedEntries();
    void everythingHasItsVisibleTextForAccessibility();
};

void PageWindowTest::cleanup() {
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void PageWindowTest::textsArePlainLeftAlignedAndWrap() {
    PageWindow window(Layout(140));
    window.SetFieldText(931, "<b>not bold</b> & no mnemonic");
    QLabel* label = window.TextField(931);
    QVERIFY(label);
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QVERIFY(label->wordWrap());
    QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignTop);
    QCOMPARE(window.FieldText(931), std::string("<b>not bold</b> & no mnemonic"));
    QVERIFY(!window.TextField(900));
    QVERIFY(!window.TextField(12345));
    QCOMPARE(window.FieldText(12345), std::string());
}

void PageWindowTest::listKeepsNamesSortedAndSelectsByPrefix() {
    PageWindow window(Layout(102));
    quillet::PrinterListControl* list = window.PrinterList(900);
    QVERIFY(list);
    QVERIFY(!window.PrinterList(811));
    for (const char* name :
         {"Office_Laser", "Tarvane_Nimbrel_K7", "archive", "Tarvane Nimbrel K7 (2)"}) {
        list->AddString(name);
    }
    QCOMPARE(list->GetCount(), 4);
    QCOMPARE(list->GetText(0), std::string("archive"));
    QCOMPARE(list->GetText(1), std::string("Office_Laser"));
    QCOMPARE(list->GetText(2), std::string("Tarvane Nimbrel K7 (2)"));
    QCOMPARE(list->GetText(3), std::string("Tarvane_Nimbrel_K7"));
    QCOMPARE(list->GetCurSel(), -1);
    QVERIFY(list->SelectString("tarvane nimbrel k7"));
    QCOMPARE(list->GetCurSel(), 2);
    QVERIFY(!list->SelectString("Nothing"));
    QCOMPARE(list->GetCurSel(), 2);
    QListWidget* widget = window.List(900);
    QCOMPARE(widget->selectionMode(), QAbstractItemView::SingleSelection);
    QVERIFY(widget->frameShape() != QFrame::NoFrame);
    QCOMPARE(widget->currentItem()->text(), QString("Tarvane Nimbrel K7 (2)"));
    list->SetCurSel(-1);
    QCOMPARE(list->GetCurSel(), -1);
    list->ResetContent();
    QCOMPARE(list->GetCount(), 0);
    QCOMPARE(list->GetText(0), std::string());
}

void PageWindowTest::windowMenuHoldsCommandsCloseAndAppendedEntries() {
    PageWindow page(Layout(140));
    std::unique_ptr<QMenu> plain(page.BuildMenu());
    QCOMPARE(plain->actions().size(), 1);
    QCOMPARE(plain->actions().at(0)->text(), QString("&Close"));

    PageWindow select(Layout(102));
    select.AppendMenuSeparator();
    select.AppendMenuEntry(16, "&About Quillet...");
    QSignalSpy sysCommands(&select, &PageWindow::sysCommandIssued);
    QSignalSpy commands(&select, &PageWindow::commandIssued);
    std::unique_ptr<QMenu> menu(select.BuildMenu());
    const QList<QAction*> actions = menu->actions();
    QCOMPARE(actions.size(), 6);
    QCOMPARE(actions.at(0)->text(), QString("&Install Printer Driver..."));
    QCOMPARE(actions.at(1)->text(), QString("Re&fresh Printer List"));
    QVERIFY(actions.at(2)->isSeparator());
    QCOMPARE(actions.at(3)->text(), QString("&Close"));
    QVERIFY(actions.at(4)->isSeparator());
    QCOMPARE(actions.at(5)->text(), QString("&About Quillet..."));
    actions.at(5)->trigger();
    actions.at(3)->trigger();
    actions.at(0)->trigger();
    QCOMPARE(sysCommands.size(), 2);
    QCOMPARE(sysCommands.at(0).at(0).toInt(), 16);
    QCOMPARE(sysCommands.at(1).at(0).toInt(), 0xF060);
    QCOMPARE(commands.size(), 1);
    QCOMPARE(commands.at(0).at(0).toInt(), 1017);
}

void PageWindowTest::everythingHasItsVisibleTextForAccessibility() {
    PageWindow select(Layout(102));
    select.SetCaption("Tarvane_Nimbrel_K7");
    select.SetFieldText(811, "Please choose the printer.");
    select.SetFieldText(812, "If your printer is not in this list, press Cancel.");
    select.PrinterList(900)->AddString("Tarvane_Nimbrel_K7");
    select.show();
    QVERIFY(QTest::qWaitForWindowExposed(&select));

    QAccessibleInterface* page = QAccessible::queryAccessibleInterface(&select);
    QVERIFY(page);
    QCOMPARE(page->role(), QAccessible::Dialog);
    QCOMPARE(page->text(QAccessible::Name), QString("Tarvane_Nimbrel_K7"));
    QCOMPARE(AccessibleName(select.TextField(811)), QString("Please choose the printer."));
    QCOMPARE(AccessibleName(select.TextField(812)),
             QString("If your printer is not in this list, press Cancel."));
    QCOMPARE(AccessibleName(select.Button(1)), QString("OK"));
    QCOMPARE(AccessibleName(select.Button(2)), QString("Cancel"));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(select.List(900));
    QCOMPARE(list->text(QAccessible::Name), QString("Please choose the printer."));
    QCOMPARE(list->childCount(), 1);
    QCOMPARE(list->child(0)->text(QAccessible::Name), QString("Tarvane_Nimbrel_K7"));

    PageWindow wait(Layout(130));
    QCOMPARE(AccessibleName(wait.Button(1020)), QString("Retry"));

    PageWindow about(Layout(100));
    QStringList names;
    for (QLabel* label : about.findChildren<QLabel*>()) {
        names << AccessibleName(label);
    }
    QVERIFY(names.contains("Tarvane Nimbrel K7"));
    QVERIFY(names.contains("Firmware Upgrade v. 1.5"));
    QVERIFY(names.contains("Quillet"));  // the icon
    QCOMPARE(AccessibleName(&about), QString("About Quillet"));
    select.hide();
}

QTEST_MAIN(PageWindowTest)
#include "page_window_test.moc"
