// Marks the moment a program's first window has been painted: when the first
// top-level widget receives its first paint event, a zero timer is posted,
// and it prints "shown" once that paint and the children's, which follow in
// the same pass, have returned to the event loop. Both programs of the
// benchmark use it, so that both are timed to the same point: the window on
// screen with its contents drawn.
#pragma once

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <functional>
#include <utility>

class FirstPaintMarker : public QObject {
public:
    // `then` runs right after "shown" is printed.
    explicit FirstPaintMarker(std::function<void()> then) : then_(std::move(then)) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow()) {
            qApp->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                std::fputs("shown\n", stdout);
                std::fflush(stdout);
                if (then_) {
                    then_();
                }
            });
        }
        return false;
    }

private:
    std::function<void()> then_;
};
