// The wizard's real pages on the Qt framework, over the recording doubles.
//
// What each page shows: the full run checks every page's caption, texts and
// buttons and saves its screenshot; a few runs cover Escape, the About box and
// the driver branch.
//
// Fault injection over whole runs. One scripted upgrade (the driver branch,
// a Retry, then every page to the end) runs on the Qt framework over the
// recording doubles; then it runs again once for each platform call it made,
// with that call failing (a write also once taking half its bytes). After
// every run the invariants hold:
//  - no job that was cut short or never finished is completed, and a cut job
//    is aborted;
//  - every printer handle, file, block, lock and key taken is given back
//    exactly once;
//  - every job after the choice is spooled while "SM AutoRun" is 0, and at the
//    end the value is the saved one, or it was never changed;
//  - the recovery record is removed only once the value is back, and is gone
//    at the end unless its removal failed, also after a run whose key could
//    not be opened; the inhibitor is released on every end;
//  - the run shows what its pages say: the full run's pages, boxes, jobs and
//    autorun writes, except as kVisible says for the failures the user sees.
// 61 runs today (the count is printed).
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <map>
#include <set>

#include "app/language_map.h"
#include "platform/qt/dialog_framework_qt.h"
#include "platform/qt/message_boxes_qt.h"
#include "printer/commands.h"  // kJobDocumentName, kJobDataType
#include "tests/doubles/doubles.h"
#include "tests/qt/qt_driver.h"
#include "wizard/wizard_first_pages.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

using Story = std::vector<std::string>;

constexpr const char* kKeyPath =
    "System\\CurrentControlSet\\control\\Print\\Printers\\Tarvane_Nimbrel_K7\\PrinterDriverData";
constexpr const char* kConfig = "K7\r\nTarvane Nimbrel K7\r\nx\r\nFile=firmware.bin\r\n";
const std::string kImage = std::string("\x1b%-12345X@PJL firmware") + '\0' + std::string(4000, 'Z');

const Story kFullRun = {
    "Page 140",           "Page 102", "Page 138",      "Start driver\\setup.exe",
    "Page 139",           "Page 102", "AutoRun := 0",  "Page 129",
    "Job TestPrint",      "Page 130", "Job TestPrint", "Page 130",
    "Job PrepareUpgrade", "Page 132", "Job Image",     "Page 133",
    "AutoRun := 1",       "Page 137",
};

// The failures the user sees: a failed call that follows the `occurrence`-th
// story entry `after` (and is one of `calls`, when given) changes the full run
// so: `stop` ends the run with that entry, `stay` shows it and the page
// again (which is then left), `replace` takes the place of the next entry,
// `drop` removes the next such entry, `last` moves it to the end (shutdown
// tries again).
struct Visible {
    const char* after;
    int occurrence;
    std::vector<std::string> calls;
    enum { Stop, Stay, Replace, Drop, Last } change;
    const char* entry;
};
const Visible kVisible[] = {
    {"", 1, {"GetVersionEx"}, Visible::Stop, "Box 7 @none [Error]"},
    {"Page 102", 2, {"HoldPrinter"}, Visible::Stay, "Box 70 @102 [app]"},
    {"Page 102", 2, {"RegOpenKey(write)", "RegSetValue"}, Visible::Drop, "AutoRun := 0"},
    {"Page 138", 1, {"StartProcess"}, Visible::Drop, "Start driver\\setup.exe"},
    {"Page 129", 1, {}, Visible::Stop, "Box 2 @129 [app]"},
    {"Page 130", 1, {}, Visible::Replace, "Box 2 @130 [app]"},
    // The image is read before download mode is asked for.
    {"Page 130",
     2,
     {"CreateFile", "GetFileSize", "VirtualAlloc", "VirtualLock", "ReadFile"},
     Visible::Stop,
     "Box 4 @130 [app]"},
    {"Page 130", 2, {}, Visible::Stop, "Box 3 @130 [app]"},
    {"Page 132", 1, {}, Visible::Stop, "Box 4 @133 [app]"},
    {"Page 133", 1, {"RegOpenKey(write)", "RegSetValue"}, Visible::Last, "AutoRun := 1"},
};
// Calls whose failure cannot be reported, or that the pages rightly ignore.
const std::set<std::string> kUnseen = {"ClosePrinter",     "RegCloseKey",   "CloseHandle",
                                       "VirtualFree",      "VirtualUnlock", "EnumPrinters",
                                       "RegOpenKey(read)", "RegQueryValue", "GetUserDefaultLangID",
                                       "KeepRecord",       "RemoveRecord",  "Inhibit"};

QString Joined(const Story& story) {
    QStringList entries;
    for (const std::string& entry : story) {
        entries << QString::fromStdString(entry);
    }
    return entries.join(" | ");
}

struct Failure {
    std::string call;  // empty: none
    int occurrence = 0;
    bool partial = false;
    std::size_t storyBefore = 0;  // entries of the full run before the call
};

// The built-in English texts with these offsets, as a page shows them.
QStringList English(const std::vector<int>& offsets) {
    QStringList texts;
    for (int offset : offsets) {
        texts << QString::fromStdString(
            MessageCatalog::Builtin().Load(static_cast<std::uint16_t>(kEnglishBase + offset)));
    }
    return texts;
}

// The visible static texts of a window, top to bottom.
QStringList VisibleTexts(QWidget& window) {
    QList<QLabel*> labels = window.findChildren<QLabel*>();
    std::sort(labels.begin(), labels.end(), [](QLabel* a, QLabel* b) { return a->y() < b->y(); });
    QStringList texts;
    for (QLabel* label : labels) {
        if (label->isVisible() && !label->text().isEmpty()) {
            texts << label->text();
        }
    }
    return texts;
}

// What a page shows: its caption, its texts whole, its buttons. Saves its
// picture as the test's output, then does `then`.
QtDriver::PageAction Expect(const QString& name, const QString& caption, const QStringList& texts,
                            const QStringList& buttons, QtDriver::PageAction then) {
    return [=](PageWindow& window) {
        QDir().mkpath(QUILLET_SCREENSHOT_DIR);
        QVERIFY(window.grab().save(QString(QUILLET_SCREENSHOT_DIR "/") + name + ".png"));
        QCOMPARE(window.windowTitle(), caption);
        QCOMPARE(VisibleTexts(window), texts);
        QStringList labels;
        for (const DialogItem& item : window.Layout().items) {
            if (item.kind == DialogItemKind::Button) {
                labels << window.Button(item.id)->text();
            }
        }
        QCOMPARE(labels, buttons);
        for (QLabel* label : window.findChildren<QLabel*>()) {
            QVERIFY2(label->height() >= label->heightForWidth(label->width()),
                     qPrintable(label->text()));
            QVERIFY(window.rect().contains(label->geometry()));
        }
        then(window);
    };
}

struct PageView {
    const char* name;
    bool chosen;  // captioned with the chosen printer, else with the model's name
    std::vector<int> texts;
    QStringList buttons;
};
const std::map<int, PageView> kPages = {
    {140, {"140-welcome", false, {131, 132}, {"OK"}}},
    {102, {"102-select-printer", false, {11, 12}, {"OK", "Cancel"}}},
    {138, {"138-driver-start", false, {111}, {"OK", "Cancel"}}},
    {139, {"139-driver-run", false, {121}, {"OK"}}},
    {129, {"129-test-print-ready", true, {22, 21, 23}, {"OK", "Cancel"}}},
    {130, {"130-test-print-wait", true, {31, 32}, {"OK", "Cancel", "&Retry"}}},
    {132, {"132-download-ready", true, {51}, {"OK", "Cancel"}}},
    {133, {"133-download", true, {61, 62, 63}, {"OK"}}},
    {137, {"137-complete", true, {101}, {"OK"}}},
};

QtDriver::PageAction ExpectPage(int page, QtDriver::PageAction then) {
    const PageView& view = kPages.at(page);
    if (page == 102) {
        then = [then](PageWindow& window) {
            QListWidget* list = window.List(kPrinterListId);
            QCOMPARE(list->count(), 2);
            QCOMPARE(list->item(0)->text(), QString("Office_Laser"));
            QCOMPARE(list->selectedItems().value(0), list->item(1));
            QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
            QCOMPARE(QApplication::focusWidget(), list);
            QVERIFY(!window.windowIcon().isNull());
            then(window);
        };
    }
    return Expect(view.name, view.chosen ? "Tarvane_Nimbrel_K7" : "Tarvane Nimbrel K7",
                  English(view.texts), view.buttons, then);
}

struct Run {
    PlatformDoubles doubles;
    QtDialogFramework framework;
    QtMessageBoxes boxes{framework};
    QtDriver driver{framework};
    std::vector<std::optional<std::uint32_t>> autoRunAtJobs;
    std::vector<std::optional<std::uint32_t>> autoRunAtRemovals;

    explicit Run(bool scriptFullRun = true, bool checkPages = false) {
        doubles.spooler.printers = {"Tarvane_Nimbrel_K7", "Office_Laser"};
        // The printer's command language, byte for byte.
        doubles.spooler.payloadNames = {
            {"\x1b&s8Z", "TestPrint"}, {"\x1b*k7342P", "PrepareUpgrade"}, {kImage, "Image"}};
        doubles.registry.SetDword(kKeyPath, "SM AutoRun", 1);
        doubles.imageFiles.files["firmware.bin"] = kImage;
        doubles.log.onCall = [this](const std::string& call) {
            if (call == "StartDocPrinter") {
                autoRunAtJobs.push_back(doubles.registry.Dword(kKeyPath, "SM AutoRun"));
            }
            if (call == "RemoveRecord") {
                autoRunAtRemovals.push_back(doubles.registry.Dword(kKeyPath, "SM AutoRun"));
            }
        };
        driver.onPage = [this](int id) {
            doubles.log.story.push_back("Page " + std::to_string(id));
        };
        driver.onBox = [this](const QtDriver::BoxSeen& box) {
            int offset = 0;
            for (int candidate : {1, 2, 3, 4, 7, 70}) {
                if (box.text.toStdString() ==
                    MessageCatalog::Builtin().Load(
                        static_cast<std::uint16_t>(kEnglishBase + candidate))) {
                    offset = candidate;
                }
            }
            QCOMPARE(box.buttonCount, 1);
            auto* owner = qobject_cast<PageWindow*>(box.parent);
            const QString caption =
                box.caption == QCoreApplication::applicationName() ? "app" : box.caption;
            doubles.log.story.push_back(
                "Box " + std::to_string(offset) + " @" +
                (owner ? std::to_string(owner->Layout().dialogId) : "none") +
                (box.icon == QMessageBox::Critical ? " stop" : "") + " [" + caption.toStdString() +
                "]");
        };
        if (!scriptFullRun) {
            return;
        }
        // The user: the driver branch first, then through to the end with one
        // Retry on the waiting page. Pages left unscripted get Escape.
        const std::pair<int, QtDriver::PageAction> steps[] = {
            {140, QtDriver::ClickButton(kIdOk)},
            {102, QtDriver::Key(Qt::Key_I, Qt::ControlModifier)},
            {138, QtDriver::ClickButton(kIdOk)},
            {139, QtDriver::ClickButton(kIdOk)},
            {102, QtDriver::Key(Qt::Key_Return)},
            {129, QtDriver::ClickButton(kIdOk)},
            {130, QtDriver::ClickButton(kIdRetry)},
            {130, QtDriver::ClickButton(kIdOk)},
            {132, QtDriver::ClickButton(kIdOk)},
            {133, QtDriver::ClickButton(kIdOk)},
            {137, QtDriver::ClickButton(kIdOk)},
        };
        for (const auto& [page, action] : steps) {
            driver.Then(page, checkPages ? ExpectPage(page, action) : action);
        }
    }

    void Play(const Failure& failure, const char* config = kConfig) {
        if (!failure.call.empty()) {
            doubles.log.FailCall(failure.call, failure.occurrence);
            doubles.log.partialWrites = failure.partial;
        }
        QTemporaryDir folder;
        QFile file(folder.filePath("quillet.txt"));
        if (config) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(config);
            file.close();
        }
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder.path()));
        WizardFirstPages firstPages(framework, doubles.launcher);
        UpgradeApp app({doubles.userLanguage, doubles.platformVersion, boxes, doubles.spooler,
                        doubles.imageFiles, doubles.registry, StandardConfigFiles(), doubles.record,
                        doubles.inhibitor},
                       firstPages);
        app.InitInstance();
        app.ExitInstance();
        QDir::setCurrent(previous);
    }

    void CheckInvariants(const Story& expected) {
        const CallLog& log = doubles.log;
        QCOMPARE(log.faults, std::vector<std::string>());
        for (const SentJob& job : doubles.spooler.jobs) {
            if (job.ended && !job.aborted) {
                QVERIFY2(
                    !job.cut && (job.data.empty() || doubles.spooler.payloadNames.count(job.data)),
                    "a cut or unknown job was completed");
                QCOMPARE(job.printer, std::string("Tarvane_Nimbrel_K7"));
                QCOMPARE(job.docInfo.documentName, std::string(kJobDocumentName));
                QCOMPARE(job.docInfo.dataType, std::string(kJobDataType));
            }
            if (job.cut) {
                const bool abortFailed = log.Count("AbortPrinter") > 0 && !job.aborted;
                QVERIFY2(job.aborted || abortFailed, "a cut job was not aborted");
                QVERIFY2(!job.ended, "a cut job was ended");
            }
        }
        QCOMPARE(doubles.spooler.OpenHandles(), 0);
        QCOMPARE(doubles.registry.OpenKeys(), 0);
        QCOMPARE(doubles.imageFiles.Held(), 0);
        const bool switchedOff =
            std::find(log.story.begin(), log.story.end(), "AutoRun := 0") != log.story.end();
        for (const auto& value : autoRunAtJobs) {
            QCOMPARE(value, std::optional<std::uint32_t>(switchedOff ? 0 : 1));
        }
        // At the end: the last value written, or the one before the run.
        std::uint32_t last = 1;
        for (const std::string& entry : expected) {
            if (entry.rfind("AutoRun := ", 0) == 0) {
                last = static_cast<std::uint32_t>(std::stoul(entry.substr(11)));
            }
        }
        QCOMPARE(doubles.registry.Dword(kKeyPath, "SM AutoRun"),
                 std::optional<std::uint32_t>(last));
        for (const auto& value : autoRunAtRemovals) {
            QCOMPARE(value, std::optional<std::uint32_t>(1));
        }
        QCOMPARE(doubles.record.kept.has_value(), last != 1 || doubles.record.failedRemovals > 0);
        QVERIFY(!doubles.inhibitor.held);
        QCOMPARE(Joined(log.story), Joined(expected));
    }
};

// The full run as the failure of that call changes it.
Story Expected(const Failure& failure, const Story& full) {
    if (kUnseen.count(failure.call)) {
        return full;
    }
    const std::size_t at = failure.storyBefore;
    const std::string after = at > 0 ? full[at - 1] : "";
    const int occurrence =
        static_cast<int>(std::count(full.begin(), full.begin() + static_cast<long>(at), after));
    for (const Visible& row : kVisible) {
        const bool callMatches = row.calls.empty() || std::find(row.calls.begin(), row.calls.end(),
                                                                failure.call) != row.calls.end();
        if (row.after != after || (at > 0 && row.occurrence != occurrence) || !callMatches) {
            continue;
        }
        Story story(full.begin(), full.begin() + static_cast<long>(at));
        // The whole document was written: the job is ended all the same.
        if (failure.call == "EndPagePrinter" && row.change != Visible::Drop) {
            story.push_back(full[at]);
        }
        if (row.change == Visible::Stay) {
            story.push_back(row.entry);
            story.push_back(after);
        } else if (row.change == Visible::Stop) {
            story.push_back(row.entry);
            // Shutdown writes back what the choice switched off.
            if (std::find(story.begin(), story.end(), "AutoRun := 0") != story.end()) {
                story.push_back("AutoRun := 1");
            }
        } else if (row.change == Visible::Replace) {
            story.push_back(row.entry);
            story.insert(story.end(), full.begin() + static_cast<long>(at) + 1, full.end());
        } else {
            Story rest(full.begin() + static_cast<long>(at), full.end());
            rest.erase(std::find(rest.begin(), rest.end(), row.entry));
            story.insert(story.end(), rest.begin(), rest.end());
            if (row.change == Visible::Last) {
                story.push_back(row.entry);
            }
        }
        return story;
    }
    return full;
}

std::vector<Failure> failures;

}  // namespace

class PagesTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(QApplication::topLevelWidgets().size(), 0); }

    void fullRun() {
        Run run(true, true);
        run.Play({});
        // Every call of the full run, in turn, is the one that fails.
        failures.clear();
        std::map<std::string, int> seen;
        for (std::size_t i = 0; i < run.doubles.log.calls.size(); ++i) {
            const std::string& call = run.doubles.log.calls[i];
            const int occurrence = ++seen[call];
            failures.push_back({call, occurrence, false, run.doubles.log.storyBefore[i]});
            if (call == "WritePrinter") {
                failures.push_back({call, occurrence, true, run.doubles.log.storyBefore[i]});
            }
        }
        qInfo("fault injection: %zu runs with one call failing", failures.size());
        run.CheckInvariants(kFullRun);
        QVERIFY(run.driver.inactive.empty());
        QVERIFY(run.driver.unscripted.empty());
    }

    void oneCallFails_data() {
        QTest::addColumn<int>("index");
        for (std::size_t i = 0; i < failures.size(); ++i) {
            QTest::addRow("%s #%d%s", failures[i].call.c_str(), failures[i].occurrence,
                          failures[i].partial ? " takes half" : "")
                << static_cast<int>(i);
        }
    }
    void oneCallFails() {
        QFETCH(int, index);
        const Failure& failure = failures[static_cast<std::size_t>(index)];
        Run run;
        run.Play(failure);
        run.CheckInvariants(Expected(failure, kFullRun));
    }

    // A printer whose driver key never opens: nothing is written, and no
    // record is left for a later run to apply.
    void keyThatNeverOpensLeavesNoRecord() {
        Run run;
        run.Play({"RegOpenKey(write)", 0});
        Story expected = kFullRun;
        std::erase_if(expected,
                      [](const std::string& entry) { return entry.rfind("AutoRun", 0) == 0; });
        run.CheckInvariants(expected);
    }

    void unusableConfigurationEndsWithTheStopBox() {
        Run run;
        run.Play({}, nullptr);
        run.CheckInvariants({"Box 1 @none stop [Firmware Upgrade]"});
    }

    void escapeOnTheWelcomePageEndsTheProgram() {
        Run run(false);
        run.driver.Then(140, QtDriver::Key(Qt::Key_Escape));
        run.Play({});
        run.CheckInvariants({"Page 140"});
    }

    // Without a chosen printer OK leaves the selection page open and touches
    // nothing; once one is listed, OK hides the page at once and opens the
    // next as its child.
    void okWithoutAChosenPrinterStaysAndTouchesNothing() {
        Run run(false);
        std::vector<std::string> printers;
        run.doubles.spooler.printers.swap(printers);
        run.driver.Then(140, QtDriver::ClickButton(kIdOk));
        run.driver.Then(102, [&](PageWindow& window) {
            QTest::mouseClick(window.Button(kIdOk), Qt::LeftButton);
            QCOMPARE(run.doubles.log.Count("RegOpenKey(read)"), 0);
            run.doubles.spooler.printers.swap(printers);
            QTest::keyClick(&window, Qt::Key_F5);
        });
        run.driver.Then(102, QtDriver::ClickButton(kIdOk));
        run.driver.Then(129, [](PageWindow& window) {
            QVERIFY(window.parentWidget() && !window.parentWidget()->isVisible());
            QTest::keyClick(&window, Qt::Key_Escape);
        });
        run.Play({});
        run.CheckInvariants(
            {"Page 140", "Page 102", "Page 102", "AutoRun := 0", "Page 129", "AutoRun := 1"});
    }

    // The About box opens from the window menu of every page; a printer whose
    // driver was just installed is listed and preselected. The driver start
    // page stays open under the run page until that has ended. Texts are
    // plain, the list is named by the text above it, and Close is Cancel.
    void aboutBoxAndTheDriverBranch() {
        Run run(false);
        QtDriver& driver = run.driver;
        driver.Then(140, QtDriver::MenuEntry("&About Quillet..."));
        driver.Then(100, Expect("100-about", "About Quillet",
                                {"Tarvane Nimbrel K7", "Firmware Upgrade v. 1.5",
                                 QString::fromStdString(FindDialogLayout(100)->items[3].text)},
                                {"OK"}, [](PageWindow& window) {
                                    QStringList names;
                                    for (QLabel* label : window.findChildren<QLabel*>()) {
                                        names << label->accessibleName();
                                    }
                                    QVERIFY(names.contains("Quillet"));  // the icon
                                    QTest::keyClick(&window, Qt::Key_Escape);
                                }));
        driver.Then(140, QtDriver::ClickButton(kIdOk));
        driver.Then(102, [&](PageWindow& window) {
            QCOMPARE(window.TextField(811)->textFormat(), Qt::PlainText);
            QCOMPARE(window.List(kPrinterListId)->accessibleName(), window.TextField(811)->text());
            run.doubles.spooler.printers.push_back("Tarvane Nimbrel K7 (USB)");
            QtDriver::MenuEntry("&Install Printer Driver...")(window);
        });
        driver.Then(138, QtDriver::ClickButton(kIdOk));
        driver.Then(139, [](PageWindow& window) {
            QWidget* owner = window.parentWidget();
            auto* start = owner ? owner->findChild<QWidget*>("dialog138") : nullptr;
            QVERIFY(start && start->isVisible());
            window.close();  // the close box
        });
        driver.Then(102, [&](PageWindow& window) {
            QCOMPARE(window.List(kPrinterListId)->count(), 3);
            QCOMPARE(window.List(kPrinterListId)->selectedItems().value(0)->text(),
                     QString("Tarvane Nimbrel K7 (USB)"));
            QtDriver::MenuEntry("Re&fresh Printer List")(window);
        });
        // The platform's low four bits of a window-menu command do not matter.
        driver.Then(102, [](PageWindow& window) { emit window.sysCommandIssued(16 | 0x3); });
        driver.Then(100, QtDriver::ClickButton(kIdOk));
        driver.Then(102, QtDriver::MenuEntry("&Close"));
        run.Play({});
        run.CheckInvariants({"Page 140", "Page 100", "Page 140", "Page 102", "Page 138",
                             "Start driver\\setup.exe", "Page 139", "Page 102", "Page 102",
                             "Page 100", "Page 102"});
    }
};

QTEST_MAIN(PagesTest)
#include "pages_test.moc"
