// The wizard's real pages on the Qt framework, over recording doubles of the
// spooler, registry and files: what each page shows, its keys and buttons,
// the About box and long texts. Saves a screenshot of every page.
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
#include "tests/doubles/recording_launcher.h"
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
    quillet::testing::RecordingLauncher launcher{doubles.log};
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

        quillet::WizardFirstPages firstPages(framework, launcher);
        UpgradeApp app({doubles.userLanguage, doubles.platformVersion, boxes, doubles.spooler,
                        doubles.imageFiles, doubles.registry},
                       firstPages, *catalog);
        app.InitInstance();
        app.ExitInstance();
        autoRunChangedAtEnd = app.AutoRunChanged;
        QDir::setCurrent(previous);
    }

    std::optional<std::uint32_t> AutoRun() const {
        return doubles.registry.Dword(kKeyPath, "SM AutoRun");
    }

    int autoRunChangedAtEnd = -1;
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
    void closeBoxOnTheDownloadPageRestoresTheAutorunValue();
    void retrySendsTheTestPageAgainAndTheWaitingPageStays();
    void aboutBoxOpensFromTheWindowMenuOfEveryPage();
    void failedTestPrintShowsTheBoxOfThePage();
    void driverInstallationFromTheSelectionPage();
    void longTextIsShownWhole();
    void pagesAreAccessibleByTheirVisibleTexts();
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
    const auto jobs = wizard.doubles.spooler.CompletedJobs();
    QCOMPARE(jobs.size(), std::size_t(3));
    QCOMPARE(jobs[2].data.size(), std::size_t(4096));
    QCOMPARE(wizard.AutoRun(), std::optional<std::uint32_t>(1));
    QCOMPARE(wizard.autoRunChangedAtEnd, 0);
}

void PagesTest::escapeOnTheWelcomePageEndsTheProgram() {
    Wizard wizard;
    wizard.driver.Then(140, QtDriver::Key(Qt::Key_Escape));
    wizard.Run();
    QCOMPARE(wizard.driver.shown, std::vector<int>({140}));
    QVERIFY(wizard.doubles.spooler.jobs.empty());
}

void PagesTest::closeBoxOnTheDownloadPageRestoresTheAutorunValue() {
    Wizard wizard;
    QtDriver& driver = wizard.driver;
    for (int page : {140, 102, 129, 130, 132}) {
        driver.Then(page, QtDriver::ClickButton(1));
    }
    driver.Then(133, [&](PageWindow& window) {
        QCOMPARE(wizard.AutoRun(), std::optional<std::uint32_t>(0));
        window.close();
    });
    wizard.Run();
    QCOMPARE(driver.shown, std::vector<int>({140, 102, 129, 130, 132, 133}));
    QCOMPARE(wizard.AutoRun(), std::optional<std::uint32_t>(1));
}

void PagesTest::retrySendsTheTestPageAgainAndTheWaitingPageStays() {
    Wizard wizard;
    QtDriver& driver = wizard.driver;
    for (int page : {140, 102, 129}) {
        driver.Then(page, QtDriver::ClickButton(1));
    }
    driver.Then(130, QtDriver::ClickButton(1020));
    driver.Then(130, QtDriver::Key(Qt::Key_R, Qt::AltModifier));
    driver.Then(130, QtDriver::ClickButton(1020));
    driver.Then(130, QtDriver::ClickButton(2));
    wizard.Run();
    int testPages = 0;
    for (const auto& job : wizard.doubles.spooler.CompletedJobs()) {
        testPages += job.data.size() == 5 ? 1 : 0;
    }
    // One from the ready page's OK, one per Retry (the Alt+R mnemonic, where
    // the platform has mnemonics, adds one more).
    QVERIFY(testPages >= 3);
    QCOMPARE(wizard.AutoRun(), std::optional<std::uint32_t>(1));
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
    driver.Then(102, QtDriver::MenuEntry("&About Quillet..."));
    driver.Then(100, QtDriver::ClickButton(1));
    driver.Then(102, QtDriver::ClickButton(2));
    wizard.Run();
    QCOMPARE(driver.shown, std::vector<int>({140, 100, 140, 102, 100, 102}));
}

void PagesTest::failedTestPrintShowsTheBoxOfThePage() {
    Wizard wizard;
    QtDriver& driver = wizard.driver;
    wizard.doubles.log.FailCall("StartDocPrinter");
    QWidget* readyPage = nullptr;
    for (int page : {140, 102}) {
        driver.Then(page, QtDriver::ClickButton(1));
    }
    driver.Then(129, [&](PageWindow& window) {
        readyPage = &window;
        QtDriver::ClickButton(1)(window);
    });
    driver.ThenBox([](QMessageBox& box) {
        SaveScreenshot(box, "message-test-print-failed");
        QTest::keyClick(&box, Qt::Key_Return);
    });
    wizard.Run();
    QCOMPARE(driver.boxes.size(), std::size_t(1));
    QCOMPARE(driver.boxes[0].caption, QString("qt_pages_test"));
    QCOMPARE(driver.boxes[0].text,
             QString("There was an error sending the test print to the printer."));
    QCOMPARE(driver.boxes[0].icon, QMessageBox::NoIcon);
    QCOMPARE(driver.boxes[0].buttonCount, 1);
    QCOMPARE(driver.boxes[0].parent, readyPage);
    QCOMPARE(driver.shown, std::vector<int>({140, 102, 129}));
    QCOMPARE(wizard.AutoRun(), std::optional<std::uint32_t>(1));
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
                                QCOMPARE(wizard.launcher.started.size(), std::size_t(1));
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
    QCOMPARE(wizard.launcher.started, std::vector<std::string>({"driver\\setup.exe"}));
    QVERIFY(wizard.doubles.spooler.jobs.empty());
}

void PagesTest::longTextIsShownWhole() {
    // The longest text of the catalogue, the Dutch one of the download page.
    const std::string longText = MessageCatalog::Builtin().Load(5061);
    QVERIFY(longText.size() > 255);
    MessageCatalog catalog;
    std::string file = "@base 0\n101\t&About Quillet...\n@base 1000\n";
    for (const auto& [id, text] : MessageCatalog::Builtin().Texts()) {
        if (id > 1000 && id < 2000 && id != 1061) {
            file += std::to_string(id - 1000) + "\t" + text + "\n";
        }
    }
    file += "61\t" + longText + "\n";
    QVERIFY(catalog.AddFile(file));

    Wizard wizard;
    wizard.catalog = &catalog;
    QtDriver& driver = wizard.driver;
    for (int page : {140, 102, 129, 130, 132}) {
        driver.Then(page, QtDriver::ClickButton(1));
    }
    driver.Then(133, [&](PageWindow& window) {
        SaveScreenshot(window, "133-download-long-text");
        QLabel* label = window.TextField(861);
        QCOMPARE(label->text().toStdString(), longText);
        QVERIFY(label->height() >= label->heightForWidth(label->width()));
        QVERIFY(window.TextField(862)->y() > label->geometry().bottom());
        QVERIFY(window.rect().contains(window.TextField(863)->geometry()));
        QTest::keyClick(&window, Qt::Key_Escape);
    });
    wizard.Run();
    QCOMPARE(driver.shown.back(), 133);
}

void PagesTest::pagesAreAccessibleByTheirVisibleTexts() {
    Wizard wizard;
    QtDriver& driver = wizard.driver;
    driver.Then(140, [](PageWindow& window) {
        QAccessibleInterface* page = QAccessible::queryAccessibleInterface(&window);
        QCOMPARE(page->text(QAccessible::Name), QString("Tarvane Nimbrel K7"));
        QStringList names;
        for (int i = 0; i < page->childCount(); ++i) {
            names << page->child(i)->text(QAccessible::Name);
        }
        QCOMPARE(names, English({131, 132}) << "OK");
        QTest::keyClick(&window, Qt::Key_Return);
    });
    driver.Then(102, [](PageWindow& window) {
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(window.List(900));
        QCOMPARE(list->text(QAccessible::Name), English({11}).front());
        QStringList entries;
        for (int i = 0; i < list->childCount(); ++i) {
            entries << list->child(i)->text(QAccessible::Name);
        }
        QCOMPARE(entries, QStringList({"archive", "Office_Laser", "Tarvane_Nimbrel_K7"}));
        QTest::keyClick(&window, Qt::Key_Escape);
    });
    wizard.Run();
}

QTEST_MAIN(PagesTest)
#include "pages_test.moc"
