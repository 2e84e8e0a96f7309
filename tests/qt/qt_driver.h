// Drives the Qt framework's pages and boxes from a test: what the user does
// each time a page of a dialog id waits for input; a message box gets OK.
#pragma once

#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <deque>
#include <map>

#include "platform/qt/dialog_framework_qt.h"
#include "platform/qt/page_window.h"

namespace quillet::testing {

class QtDriver {
public:
    using PageAction = std::function<void(PageWindow&)>;

    explicit QtDriver(QtDialogFramework& framework) : framework_(framework) {
        framework_.onPageWaiting = [this](DialogPage& page, PageWindow& window) {
            if (onPage) {
                onPage(page.DialogId());
            }
            // Keys reach a page only once the window system has made it active.
            if (!QTest::qWaitForWindowActive(&window)) {
                inactive.push_back(page.DialogId());
            }
            auto& queue = pages_[page.DialogId()];
            if (queue.empty()) {
                // Nothing scripted: leave the page the way a user would.
                unscripted.push_back(page.DialogId());
                QTest::keyClick(&window, Qt::Key_Escape);
                return;
            }
            PageAction action = std::move(queue.front());
            queue.pop_front();
            action(window);
            // A check that failed inside the action left the page waiting.
            if (QTest::currentTestFailed() && window.isVisible()) {
                QTest::keyClick(&window, Qt::Key_Escape);
            }
        };
        framework_.onDialogWaiting = [this](QDialog& dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
                if (onBox) {
                    onBox(*box);
                }
                box->button(QMessageBox::Ok)->click();
            }
        };
    }
    ~QtDriver() {
        framework_.onPageWaiting = nullptr;
        framework_.onDialogWaiting = nullptr;
    }

    void Then(int dialogId, PageAction action) { pages_[dialogId].push_back(std::move(action)); }

    // The user's actions.
    static PageAction ClickButton(int id) {
        return [id](PageWindow& window) { QTest::mouseClick(window.Button(id), Qt::LeftButton); };
    }
    static PageAction Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        return [key, modifiers](PageWindow& window) {
            QWidget* target = QApplication::focusWidget();
            QTest::keyClick(target && target->window() == &window ? target : &window, key,
                            modifiers);
        };
    }
    // Chooses the window-menu entry with that text (mnemonic & included).
    static PageAction MenuEntry(const QString& text) {
        return [text](PageWindow& window) {
            std::unique_ptr<QMenu> menu(window.BuildMenu());
            for (QAction* action : menu->actions()) {
                if (action->text() == text) {
                    action->trigger();
                    return;
                }
            }
            QFAIL(qPrintable("no window-menu entry " + text));
        };
    }

    // Called as each page or box waits, before the scripted action.
    std::function<void(int dialogId)> onPage;
    std::function<void(QMessageBox&)> onBox;
    std::vector<int> unscripted;
    std::vector<int> inactive;

private:
    QtDialogFramework& framework_;
    std::map<int, std::deque<PageAction>> pages_;
};

}  // namespace quillet::testing
