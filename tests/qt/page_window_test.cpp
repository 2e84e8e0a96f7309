// The Qt window of a layout: plain texts, the window-menu stand-in and
// accessibility. Keys and buttons are dialog_framework_test's; the printer
// list is pages_test's.
#include "platform/qt/page_window.h"

#include <QAccessible>
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
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QVERIFY(label->wordWrap());
    QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignTop);
    QCOMPARE(window.FieldText(931), std::string("<b>not bold</b> & no mnemonic"));
    QCOMPARE(window.FieldText(12345), std::string());
}

void PageWindowTest::windowMenuHoldsCommandsCloseAndAppendedEntries() {
    PageWindow select(Layout(102));
    select.AppendMenuSeparator();
    select.AppendMenuEntry(16, "&About Quillet...");
    QSignalSpy commands(&select, &PageWindow::commandIssued);
    std::unique_ptr<QMenu> menu(select.BuildMenu());
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts << (action->isSeparator() ? "-" : action->text());
    }
    QCOMPARE(texts, QStringList({"&Install Printer Driver...", "Re&fresh Printer List", "-",
                                 "&Close", "-", "&About Quillet..."}));
    menu->actions().at(0)->trigger();
    QCOMPARE(commands.value(0).value(0).toInt(), 1017);
    PageWindow welcome(Layout(140));
    std::unique_ptr<QMenu> plain(welcome.BuildMenu());
    QCOMPARE(plain->actions().size(), 1);
}

void PageWindowTest::everythingHasItsVisibleTextForAccessibility() {
    PageWindow select(Layout(102));
    select.SetCaption("Tarvane_Nimbrel_K7");
    select.SetFieldText(811, "Please choose the printer.");
    select.PrinterList(900)->AddString("Tarvane_Nimbrel_K7");
    select.show();
    QVERIFY(QTest::qWaitForWindowExposed(&select));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(select.List(900));
    PageWindow wait(Layout(130));
    PageWindow about(Layout(100));
    QStringList aboutLabels;
    for (QLabel* label : about.findChildren<QLabel*>()) {
        aboutLabels << AccessibleName(label);
    }
    QCOMPARE(QAccessible::queryAccessibleInterface(&select)->role(), QAccessible::Dialog);
    const std::pair<QString, QString> rows[] = {
        {AccessibleName(&select), "Tarvane_Nimbrel_K7"},
        {AccessibleName(select.TextField(811)), "Please choose the printer."},
        {AccessibleName(select.Button(2)), "Cancel"},
        {list->text(QAccessible::Name), "Please choose the printer."},
        {list->child(0)->text(QAccessible::Name), "Tarvane_Nimbrel_K7"},
        {AccessibleName(wait.Button(1020)), "Retry"},
        {AccessibleName(&about), "About Quillet"},
    };
    for (const auto& [name, expected] : rows) {
        QCOMPARE(name, expected);
    }
    QVERIFY(aboutLabels.contains("Quillet"));  // the icon
    select.hide();
}

QTEST_MAIN(PageWindowTest)
#include "page_window_test.moc"
