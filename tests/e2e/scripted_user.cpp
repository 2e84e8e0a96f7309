// The end-to-end tests' build of the program plays a user: it reads what to
// do from "quillet-user.txt" in the current folder and logs what it saw to
// "quillet-user.log" there. Only the test build links this file; the shipped
// program links program_hooks_none.cpp.
//
// Script lines: "<dialog id> <action>", action one of ok, cancel, hold (do
// nothing, so the page waits until something outside ends the run), watch
// (hold, and log each new text of the page's status lines as
// "status <id>|<text>", the n-th with a screenshot "status-<n>.png" of the
// page), go (once the test has made a file "go": twenty keystrokes, each
// delivered from the event loop as a window system's are, then "answered" and
// the page's next action); "box ok" for a message box; "file cancel" or
// "file <path>" for the file dialog. A page or box with nothing scripted for
// it is left with Escape and logged as "unscripted".
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <map>

#include "platform/qt/dialog_framework_qt.h"
#include "platform/qt/page_window.h"
#include "platform/qt/program_hooks.h"

namespace quillet {

namespace {

class ScriptedUser : public ProgramHooks {
public:
    explicit ScriptedUser(QtDialogFramework& framework)
        : framework_(framework), log_("quillet-user.log") {
        QFile script("quillet-user.txt");
        if (script.open(QIODevice::ReadOnly | QIODevice::Text)) {
            QTextStream in(&script);
            while (!in.atEnd()) {
                const QStringList words = in.readLine().split(' ', Qt::SkipEmptyParts);
                if (words.size() == 2) {
                    actions_[words[0]].push_back(words[1]);
                }
            }
        }
        log_.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate);
        // What Qt made of the command line: the program hands it nothing.
        Log(QString("arguments %1 %2")
                .arg(QCoreApplication::arguments().size())
                .arg(QGuiApplication::layoutDirection() == Qt::LeftToRight ? "ltr" : "rtl"));
        framework_.onPageWaiting = [this](DialogPage& page, PageWindow& window) {
            OnPage(page.DialogId(), window);
        };
        framework_.onDialogWaiting = [this](QDialog& dialog) { OnBox(dialog); };
    }
    ~ScriptedUser() override {
        framework_.onPageWaiting = nullptr;
        framework_.onDialogWaiting = nullptr;
        Log("end");
    }

private:
    void Log(const QString& line) {
        log_.write((line + "\n").toUtf8());
        log_.flush();
    }

    QString Next(const QString& key) {
        QStringList& queue = actions_[key];
        return queue.isEmpty() ? QString() : queue.takeFirst();
    }

    void OnPage(int dialogId, PageWindow& window) {
        if (!QTest::qWaitForWindowActive(&window)) {
            Log(QString("inactive %1").arg(dialogId));
        }
        QStringList seen{QString("page %1").arg(dialogId), window.windowTitle()};
        QList<QLabel*> labels = window.findChildren<QLabel*>();
        std::sort(labels.begin(), labels.end(),
                  [](QLabel* a, QLabel* b) { return a->y() < b->y(); });
        for (QLabel* label : labels) {
            if (!label->text().isEmpty()) {
                seen << label->text();
            }
        }
        if (QListWidget* list = window.List(kPrinterListId)) {
            for (QListWidgetItem* item : list->selectedItems()) {
                seen << "selected=" + item->text();
            }
        }
        Log(seen.join('|'));
        Act(dialogId, window);
    }

    void Act(int dialogId, PageWindow& window) {
        const QString action = Next(QString::number(dialogId));
        if (action == "ok") {
            QTest::keyClick(&window, Qt::Key_Return);
        } else if (action == "cancel") {
            QTest::mouseClick(window.Button(kIdCancel), Qt::LeftButton);
        } else if (action == "hold") {
            // Leave the page waiting: the test ends the run from outside.
        } else if (action == "watch") {
            Watch(window);
        } else if (action == "go") {
            // Polls for the file the test makes, and removes it.
            auto* timer = new QTimer(&window);
            QObject::connect(timer, &QTimer::timeout, &window, [this, timer, dialogId, &window] {
                if (QFile::remove("go")) {
                    timer->deleteLater();
                    Keystrokes(dialogId, window, 20);
                }
            });
            timer->start(50);
        } else {
            Log(QString("unscripted %1").arg(dialogId));
            QTest::keyClick(&window, Qt::Key_Escape);
        }
    }

    void Keystrokes(int dialogId, PageWindow& window, int left) {
        if (left == 0) {
            Log("answered");
            Act(dialogId, window);
            return;
        }
        QTest::keyClick(&window, Qt::Key_Shift);
        QTimer::singleShot(0, &window, [this, dialogId, &window, left] {
            Keystrokes(dialogId, window, left - 1);
        });
    }

    void Watch(PageWindow& window) {
        auto* timer = new QTimer(&window);
        QObject::connect(timer, &QTimer::timeout, &window, [this, &window] {
            for (const DialogItem& item : window.Layout().items) {
                const QString text =
                    item.kind == DialogItemKind::Status ? window.TextField(item.id)->text() : "";
                if (!text.isEmpty() && text != statusTexts_[item.id]) {
                    statusTexts_[item.id] = text;
                    // The picture first: once the line is logged, it exists.
                    window.grab().save(QString("status-%1.png").arg(++statusShots_));
                    Log(QString("status %1|%2").arg(item.id).arg(text));
                }
            }
        });
        timer->start(100);
    }

    void OnBox(QDialog& dialog) {
        if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
            Log("file|" + files->windowTitle());
            const QString action = Next("file");
            if (action == "cancel") {
                files->reject();
            } else {
                files->selectFile(QDir::current().absoluteFilePath(action));
                QMetaObject::invokeMethod(files, "accept");
            }
            return;
        }
        auto* box = qobject_cast<QMessageBox*>(&dialog);
        if (!box) {
            return;
        }
        Log("box|" + box->windowTitle() + "|" + box->text());
        if (Next("box") != "ok") {
            Log("unscripted box");
        }
        box->button(QMessageBox::Ok)->click();
    }

    QtDialogFramework& framework_;
    QFile log_;
    std::map<QString, QStringList> actions_;
    std::map<int, QString> statusTexts_;
    int statusShots_ = 0;
};

}  // namespace

std::unique_ptr<ProgramHooks> MakeProgramHooks(QtDialogFramework& framework) {
    return std::make_unique<ScriptedUser>(framework);
}

}  // namespace quillet
