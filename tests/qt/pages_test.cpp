// The wizard's real pages on the Qt framework, over recording doubles of the
// spooler, registry and files: what each page shows, its keys and buttons,
// the About box and the driver branch. Saves a screenshot of every page. What
// the pages do when a platform call fails is whole_run_test's.
#include <QAccessible>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/language_map.h"
#include "app/upgrade_app.h"
#include "platform/qt/dialog_framework_qt.h"
#include "platform/qt/message_boxes_qt.h"
#include "platform/qt/page_window.h"
#include "tests/doubles/doubles.h"
#include "tests/qt/qt_driver.h"
#include "wizard/wizard_first_pages.h"

using quillet::MessageCatalog;
using quillet::PageWindow;
using quillet::QtDialogFramework;
using quillet::QtMessageBoxes;
using quillet::UpgradeApp;
using quillet::testing::QtDriver;
using quillet::testing::SaveScreenshot;

namespace {

constexpr const char* kKeyPath =
    "System\\CurrentControlSet\\control\\Print\\Printers\\Tarvane_Nimbrel_K7\\PrinterDriverData";

// The built-in English texts with these offsets, as a page shows them.
QStringList English(std::initializer_list<int> offsets) {
    QStringList texts;
    for (int offset : offsets) {
        texts << QString::fromStdString(MessageCatalog::Builtin().Load(
            static_cast<std::uint16_t>(quillet::kEnglishBase + offset)));
    }
    return texts;
}

// One run of the wizard: the doubles, the Qt framework and boxes, a driver.
struct Wizard {
    quillet::testing::PlatformDoubles doubles;
    QtDialogFramework framework;
    QtMessageBoxes boxes{framework};
    QtDriver driver{framework};
    const MessageCatalog* catalog = &MessageCatalog::Builtin();

    Wizard() {
        doubles.spooler.printers = {"Tarvane_Nimbrel_K7", "Office_Laser", "archive"};
        doubles.registry.SetDword(kKeyPath, "SM AutoRun", 1);
        doubles.imageFiles.files["firmware.bin"] = std::string(4096, '\x5a');
    }

    // Start-up and shutdown, as the program runs them, in a folder that
    // holds the configuration file.
    void Run(const std::string& config = "K7\r\nTarvane Nimbrel K7\r\nx\r\nFile=firmware.bin\r\n") {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QFile file(folder.filePath("quillet.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(config.c_str());
        file.close();
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder.path()));

        quillet::WizardFirstPages firstPages(framework, doubles.launcher);
        UpgradeApp app({doubles.userLanguage, doubles.platformVersion, boxes, doubles.spooler,
                        doubles.imageFiles, doubles.registry},
                       firstPages, *catalog);
        app.InitInstance();
        app.ExitInstance();
        QDir::setCurrent(previous);
    }
};

QStringList ButtonLabels(PageWindow& window) {
    QStringList labels;
    for (const quillet::DialogItem& item : window.Layout().items) {
        if (item.kind == quillet::DialogItemKind::Button) {
            labels << window.Button(item.id)->text();
        }
    }
    return labels;
}

QStringList ListEntries(PageWindow& window) {
    QStringList entries;
    QListWidget* list = window.List(900);
    for (int i = 0; list && i < list->count(); ++i) {
        entries << list->item(i)->text();
    }
    return entries;
}

// Checks what a page shows, saves its picture, then does `then`.
QtDriver::PageAction Expect(const QString& name, const QString& caption, const QStringList& texts,
                            const QStringList& buttons, QtDriver::PageAction then) {
    return [=](PageWindow& window) {
        SaveScreenshot(window, name);
        QCOMPARE(window.windowTitle(), caption);
        QCOMPARE(quillet::testing::VisibleTexts(window), texts);
        QCOMPARE(ButtonLabels(window), buttons);
        for (QLabel* label : window.findChildren<QLabel*>()) {
            // Shown whole: every wrapped line fits the label.
            QVERIFY2(label->height() >= label->heightForWidth(label->width()),
                     qPrintable(label->text()));
            QVERIFY(window.rect().contains(label->geometry()));
        }
        then(window);
    };
}

}  // namespace

class PagesTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void fullUpgradeShowsEveryPageInTurn();
    void escapeOnTheWelcomePageEndsTheProgram();
    void okWithoutAChosenPrinterStaysAndTouchesNothing();
    void aboutBoxOpensFromTheWindowMenuOfEveryPage();
    void driverInstallationFromTheSelectionPage();
};

void PagesTest::cleanup() {
    QCOMPARE(QApplication::topLevelWidgets().size(), 0);
}

void PagesTest::fullUpgradeShowsEveryPageInTurn() {
    Wizard wizard;
    QtDriver& driver = wizard.driver;
    driver.Then(140, Expect("140-welcome", "Tarvane Nimbrel K7", English({131, 132}), {"OK"},
                            QtDriver::ClickButton(1)));
    driver.Then(102, Expect("102-select-printer", "Tarvane Nimbrel K7", English({11, 12}),
                            {"OK", "Cancel"}, [](PageWindow& window) {
                                QCOMPARE(
                                    ListEntries(window),
                                    QStringList({"archive", "Office_Laser", "Tarvane_Nimbrel_K7"}));
                                QCOMPARE(window.List(900)->selectedItems().size(), 1);
                                QCOMPARE(window.List(900)->selectedItems()[0]->text(),
                                         QString("Tarvane_Nimbrel_K7"));
                                QCOMPARE(QApplication::focusWidget(), window.List(900));
                                QVERIFY(!window.windowIcon().isNull());
                                QTest::keyClick(window.List(900), Qt::Key_Return);
                            }));
    driver.Then(129, Expect("129-test-print-ready", "Tarvane_Nimbrel_K7", English({22, 21, 23}),
                            {"OK", "Cancel"}, QtDriver::ClickButton(1)));
    driver.Then(130, Expect("130-test-print-wait", "Tarvane_Nimbrel_K7", English({31, 32}),
                            {"OK", "Cancel", "&Retry"}, QtDriver::Key(Qt::Key_Return)));
    driver.Then(132, Expect("132-download-ready", "Tarvane_Nimbrel_K7", English({51}),
                            {"OK", "Cancel"}, QtDriver::ClickButton(1)));
    driver.Then(133, Expect("133-download", "Tarvane_Nimbrel_K7", English({61, 62, 63}), {"OK"},
                            QtDriver::ClickButton(1)));
    driver.Then(137, Expect("137-complete", "Tarvane_Nimbrel_K7", English({101}), {"OK"},
                            QtDriver::ClickButton(1)));
    wizard.Run();
    QCOMPARE(driver.shown, std::vector<int>({140, 102, 129, 130, 132, 133, 137}));
    QVERIFY(driver.unscripted.empty());
    QVERIFY(driver.inactive.empty());
}

void PagesTest::escapeOnTheWelcomePageEndsTheProgram() {
    Wizard wizard;
    wizard.driver.Then(140, QtDriver::Key(Qt::Key_Escape));
    wizard.Run();
    QCOMPARE(wizard.driver.shown, std::vector<int>({140}));
    QVERIFY(wizard.doubles.spooler.jobs.empty());
}

void PagesTest::okWithoutAChosenPrinterStaysAndTouchesNothing() {
    Wizard wizard;
    wizard.doubles.spooler.printers.clear();
    wizard.driver.Then(140, QtDriver::ClickButton(1));
    wizard.driver.Then(102, QtDriver::ClickButton(1));
    wizard.driver.Then(102, QtDriver::ClickButton(2));
    wizard.Run();
    QCOMPARE(wizard.driver.shown, std::vector<int>({140, 102, 102}));
    QCOMPARE(wizard.doubles.log.Count("RegOpenKey(read)") + wizard.doubles.log.Count("OpenPrinter"),
             0);
}

void PagesTest::aboutBoxOpensFromTheWindowMenuOfEveryPage() {
    Wizard wizard;
    QtDriver& driver = wizard.driver;
    QStringList before;
    driver.Then(140, [&](PageWindow& window) {
        before = quillet::testing::VisibleTexts(window);
        QtDriver::MenuEntry("&About Quillet...")(window);
    });
    driver.Then(
        100,
        Expect("100-about", "About Quillet",
               {"Tarvane Nimbrel K7", "Firmware Upgrade v. 1.5",
                QString::fromStdString(quillet::FindDialogLayout(100)->items[3].text)},
               {"OK"}, [](PageWindow& window) {
                   QLabel* icon = qobject_cast<QLabel*>(window.childAt(
                       window.ToPixels(quillet::FindDialogLayout(100)->items[0].rect).center()));
                   QVERIFY(icon);
                   QVERIFY(!icon->pixmap().isNull());
                   QTest::keyClick(&window, Qt::Key_Escape);
               }));
    driver.Then(140, [&](PageWindow& window) {
        QCOMPARE(quillet::testing::VisibleTexts(window), before);
        QtDriver::ClickButton(1)(window);
    });
    // The platform's low four bits of a window-menu command do not matter.
    driver.Then(102, [](PageWindow& window) { emit window.sysCommandIssued(16 | 0x3); });
    driver.Then(100, QtDriver::ClickButton(1));
    driver.Then(102, QtDriver::ClickButton(2));
    wizard.Run();
    QCOMPARE(driver.shown, std::vector<int>({140, 100, 140, 102, 100, 102}));
}

void PagesTest::driverInstallationFromTheSelectionPage() {
    Wizard wizard;
    QtDriver& driver = wizard.driver;
    PageWindow* selection = nullptr;
    driver.Then(140, QtDriver::ClickButton(1));
    driver.Then(102, [&](PageWindow& window) {
        selection = &window;
        QCOMPARE(ListEntries(window).size(), 3);
        wizard.doubles.spooler.printers.push_back("Tarvane Nimbrel K7 (USB)");
        QTest::keyClick(&window, Qt::Key_I, Qt::ControlModifier);
    });
    driver.Then(138, Expect("138-driver-start", "Tarvane Nimbrel K7", English({111}),
                            {"OK", "Cancel"}, QtDriver::ClickButton(1)));
    driver.Then(139, Expect("139-driver-run", "Tarvane Nimbrel K7", English({121}), {"OK"},
                            [&](PageWindow& window) {
                                QVERIFY(selection->isVisible());
                                QCOMPARE(wizard.doubles.log.Count("StartProcess"), 1);
                                QTest::keyClick(&window, Qt::Key_Escape);
                            }));
    driver.Then(102, [&](PageWindow& window) {
        QCOMPARE(ListEntries(window).size(), 4);
        QCOMPARE(window.List(900)->selectedItems()[0]->text(), QString("Tarvane Nimbrel K7 (USB)"));
        QTest::keyClick(&window, Qt::Key_F5);
    });
    driver.Then(102, QtDriver::ClickButton(2));
    wizard.Run();
    QCOMPARE(driver.shown, std::vector<int>({140, 102, 138, 139, 102, 102}));
    QCOMPARE(wizard.doubles.log.story, std::vector<std::string>({"Start driver\\setup.exe"}));
    QVERIFY(wizard.doubles.spooler.jobs.empty());
}

QTEST_MAIN(PagesTest)
#include "pages_test.moc"
