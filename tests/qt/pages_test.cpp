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
// One more run has the driver key never open.
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <fstream>
#include <map>

#include "app/language_map.h"
#include "platform/qt/dialog_framework_qt.h"
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

// The failures the user sees. A failing call among `calls`, made after the
// full run's first `at` entries, shows `shown` there; the run then `ends`, or
// goes on without the full run's next entry. After EndPagePrinter the whole
// document was written: its job is ended all the same. Every other failure
// leaves the full run as it was.
struct Visible {
    std::size_t at;
    std::vector<std::string> calls;
    Story shown;
    bool ends;
};
const std::vector<std::string> kJobCalls = {"OpenPrinter",  "StartDocPrinter", "StartPagePrinter",
                                            "WritePrinter", "EndPagePrinter",  "EndDocPrinter"};
const std::vector<std::string> kAutoRunWrite = {"RegOpenKey(write)", "RegSetValue"};
const Visible kVisible[] = {
    {0, {"GetVersionEx"}, {"Box 7 @none [Error]"}, true},
    {3, {"StartProcess"}, {}, false},
    {6, {"HoldPrinter"}, {"Box 70 @102 [app]", "Page 102"}, true},
    {6, kAutoRunWrite, {}, false},
    {8, kJobCalls, {"Box 2 @129 [app]"}, true},
    {10, kJobCalls, {"Box 2 @130 [app]"}, false},
    // The image is read before download mode is asked for.
    {12,
     {"CreateFile", "GetFileSize", "VirtualAlloc", "VirtualLock", "ReadFile"},
     {"Box 4 @130 [app]"},
     true},
    {12, kJobCalls, {"Box 3 @130 [app]"}, true},
    {14, kJobCalls, {"Box 4 @133 [app]"}, true},
    {16, kAutoRunWrite, {}, false},
};

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

const QString kModel = "Tarvane Nimbrel K7";
const QString kChosen = "Tarvane_Nimbrel_K7";

// What each page shows: its caption, its texts top to bottom, its buttons.
struct PageView {
    const char* name;  // of its picture
    QString caption;
    QStringList texts;
    QStringList buttons;
};
const std::map<int, PageView> kPages = {
    {100,
     {"100-about",
      "About Quillet",
      {kModel, "Firmware Upgrade v. 1.5", FindDialogLayout(100)->items[3].text.c_str()},
      {"OK"}}},
    {140, {"140-welcome", kModel, English({131, 132}), {"OK"}}},
    {102, {"102-select-printer", kModel, English({11, 12}), {"OK", "Cancel"}}},
    {138, {"138-driver-start", kModel, English({111}), {"OK", "Cancel"}}},
    {139, {"139-driver-run", kModel, English({121}), {"OK"}}},
    {129, {"129-test-print-ready", kChosen, English({22, 21, 23}), {"OK", "Cancel"}}},
    {130, {"130-test-print-wait", kChosen, English({31, 32}), {"OK", "Cancel", "&Retry"}}},
    {132, {"132-download-ready", kChosen, English({51}), {"OK", "Cancel"}}},
    {133, {"133-download", kChosen, English({61, 62, 63}), {"OK"}}},
    {137, {"137-complete", kChosen, English({101}), {"OK"}}},
};

// Checks that the page shows what kPages says, whole, saves its picture as
// the test's output, then does `then`.
QtDriver::PageAction Expect(int page, QtDriver::PageAction then) {
    return [page, then](PageWindow& window) {
        const PageView& view = kPages.at(page);
        QDir().mkpath(QUILLET_SCREENSHOT_DIR);
        QVERIFY(window.grab().save(QString(QUILLET_SCREENSHOT_DIR "/") + view.name + ".png"));
        QCOMPARE(window.windowTitle(), view.caption);
        QList<QLabel*> labels = window.findChildren<QLabel*>();
        std::ranges::sort(labels, {}, &QLabel::y);
        QStringList texts;
        for (QLabel* label : labels) {
            if (label->isVisible() && !label->text().isEmpty()) {
                texts << label->text();
            }
            QVERIFY2(label->height() >= label->heightForWidth(label->width()),
                     qPrintable(label->text()));
            QVERIFY(window.rect().contains(label->geometry()));
        }
        QCOMPARE(texts, view.texts);
        QStringList buttons;
        for (const DialogItem& item : window.Layout().items) {
            if (item.kind == DialogItemKind::Button) {
                buttons << window.Button(item.id)->text();
            }
        }
        QCOMPARE(buttons, view.buttons);
        if (QListWidget* list = window.List(kPrinterListId)) {
            // The K7 is preselected: without it, OK on the list does nothing.
            QCOMPARE(list->selectedItems().value(0), list->item(1));
            QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
            QCOMPARE(QApplication::focusWidget(), list);
            QVERIFY(!window.windowIcon().isNull());
        }
        then(window);
    };
}

struct Run {
    PlatformDoubles doubles;
    QtDialogFramework framework;
    QtDriver driver{framework};
    // The autorun value as each call was made, by call.
    std::map<std::string, std::vector<std::optional<std::uint32_t>>> autoRunAt;

    explicit Run(bool scriptFullRun = true, bool checkPages = false) {
        doubles.spooler.printers = {"Tarvane_Nimbrel_K7", "Office_Laser"};
        // The printer's command language, byte for byte.
        doubles.spooler.payloadNames = {
            {"\x1b&s8Z", "TestPrint"}, {"\x1b*k7342P", "PrepareUpgrade"}, {kImage, "Image"}};
        doubles.registry.SetDword(kKeyPath, "SM AutoRun", 1);
        doubles.imageFiles.files["firmware.bin"] = kImage;
        doubles.log.onCall = [this](const std::string& call) {
            autoRunAt[call].push_back(doubles.registry.Dword(kKeyPath, "SM AutoRun"));
        };
        driver.onPage = [this](int id) {
            doubles.log.story.push_back("Page " + std::to_string(id));
        };
        driver.onBox = [this](QMessageBox& box) {
            QCOMPARE(box.buttons().size(), 1);
            int offset = 0;
            for (int candidate : {1, 2, 3, 4, 7, 70}) {
                offset = box.text() == English({candidate})[0] ? candidate : offset;
            }
            auto* owner = qobject_cast<PageWindow*>(box.parentWidget());
            const QString caption = box.windowTitle();
            doubles.log.story.push_back(
                QString("Box %1 @%2%3 [%4]")
                    .arg(offset)
                    .arg(owner ? QString::number(owner->Layout().dialogId) : "none",
                         box.icon() == QMessageBox::Critical ? " stop" : "",
                         caption == QCoreApplication::applicationName() ? "app" : caption)
                    .toStdString());
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
            driver.Then(page, checkPages ? Expect(page, action) : action);
        }
    }

    void Play(const Failure& failure, const char* config = kConfig) {
        doubles.log.FailCall(failure.call, failure.occurrence);  // no call is named ""
        doubles.log.partialWrites = failure.partial;
        QTemporaryDir folder;
        if (config) {
            std::ofstream(folder.filePath("quillet.txt").toStdString(), std::ios::binary) << config;
        }
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder.path()));
        WizardFirstPages firstPages(framework, doubles.launcher);
        UpgradeApp app({doubles.userLanguage, doubles.platformVersion, framework, doubles.spooler,
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
        // A job cut short must never print.
        for (const SentJob& job : doubles.spooler.jobs) {
            QVERIFY2(!job.cut || (job.aborted && !job.ended), "a cut job was not aborted");
        }
        QCOMPARE(doubles.spooler.OpenHandles(), 0);
        QCOMPARE(doubles.registry.OpenKeys(), 0);
        QCOMPARE(doubles.imageFiles.Held(), 0);
        const std::optional<std::uint32_t> one(1);
        const std::optional<std::uint32_t> duringJobs(
            std::ranges::count(log.story, "AutoRun := 0") > 0 ? 0 : 1);
        for (const auto& value : autoRunAt["StartDocPrinter"]) {
            QCOMPARE(value, duringJobs);
        }
        for (const auto& value : autoRunAt["RemoveRecord"]) {
            QCOMPARE(value, one);
        }
        // At the end the value is the saved one, written back or never changed.
        QCOMPARE(doubles.registry.Dword(kKeyPath, "SM AutoRun"), one);
        QCOMPARE(doubles.record.kept.has_value(), doubles.record.failedRemovals > 0);
        QVERIFY(!doubles.inhibitor.held);
        QCOMPARE(Joined(log.story), Joined(expected));
    }
};

bool IsAutoRun(const std::string& entry) {
    return entry.rfind("AutoRun", 0) == 0;
}

// The full run as the failure of that call changes it; shutdown writes back
// what the choice switched off.
Story Expected(const Failure& failure) {
    Story story = kFullRun;
    for (const Visible& row : kVisible) {
        if (row.at == failure.storyBefore && std::ranges::count(row.calls, failure.call)) {
            const auto at = kFullRun.begin() + static_cast<long>(row.at);
            story.assign(kFullRun.begin(), at + (failure.call == "EndPagePrinter"));
            story.insert(story.end(), row.shown.begin(), row.shown.end());
            story.insert(story.end(), row.ends ? kFullRun.end() : at + 1, kFullRun.end());
        }
    }
    const auto last = std::ranges::find_if(story.rbegin(), story.rend(), IsAutoRun);
    if (last != story.rend() && *last == "AutoRun := 0") {
        story.push_back("AutoRun := 1");
    }
    // A key that never opens: nothing is written.
    if (failure.occurrence == 0) {
        std::erase_if(story, IsAutoRun);
    }
    return story;
}

}  // namespace

Q_DECLARE_METATYPE(Failure)

class PagesTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(QApplication::topLevelWidgets().size(), 0); }

    void fullRun() {
        Run run(true, true);
        run.Play({});
        run.CheckInvariants(kFullRun);
        QVERIFY(run.driver.inactive.empty());
        QVERIFY(run.driver.unscripted.empty());
    }

    // Every call of the full run, in turn, is the one that fails; and a
    // printer whose driver key never opens.
    void oneCallFails_data() {
        QTest::addColumn<Failure>("failure");
        Run run;
        run.Play({});
        std::vector<Failure> failures;
        std::map<std::string, int> seen;
        for (std::size_t i = 0; i < run.doubles.log.calls.size(); ++i) {
            const std::string& call = run.doubles.log.calls[i];
            const int occurrence = ++seen[call];
            failures.push_back({call, occurrence, false, run.doubles.log.storyBefore[i]});
            if (call == "WritePrinter") {
                failures.push_back({call, occurrence, true, run.doubles.log.storyBefore[i]});
            }
        }
        failures.push_back({"RegOpenKey(write)", 0, false, 6});
        for (const Failure& failure : failures) {
            QTest::addRow("%s #%d%s", failure.call.c_str(), failure.occurrence,
                          failure.partial ? " takes half" : "")
                << failure;
        }
    }
    void oneCallFails() {
        QFETCH(Failure, failure);
        Run run;
        run.Play(failure);
        run.CheckInvariants(Expected(failure));
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
    // nothing; once the user has chosen one, OK hides the page at once and
    // opens the next for that printer as its child.
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
        run.driver.Then(102, [](PageWindow& window) {
            QTest::keyClick(window.List(kPrinterListId), Qt::Key_Home);
            QTest::keyClick(window.List(kPrinterListId), Qt::Key_Return);
        });
        run.driver.Then(129, [](PageWindow& window) {
            QCOMPARE(window.windowTitle(), QString("Office_Laser"));
            QVERIFY(window.parentWidget() && !window.parentWidget()->isVisible());
            QTest::keyClick(&window, Qt::Key_Escape);
        });
        run.Play({});
        run.CheckInvariants({"Page 140", "Page 102", "Page 102", "Page 129"});
    }

    // The About box opens from the window menu of every page; a printer whose
    // driver was just installed is listed and preselected, also before the K7.
    // The driver start page stays open under the run page until that has
    // ended. Texts are plain, the list is named by the text above it, and
    // Close is Cancel.
    void aboutBoxAndTheDriverBranch() {
        Run run(false);
        QtDriver& driver = run.driver;
        driver.Then(140, QtDriver::MenuEntry("&About Quillet..."));
        driver.Then(100, Expect(100, [](PageWindow& window) {
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
            run.doubles.spooler.printers[1] = "Tarvane Nimbrel K7 (USB)";
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
            QCOMPARE(window.List(kPrinterListId)->count(), 2);
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
