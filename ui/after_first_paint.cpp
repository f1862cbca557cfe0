#include "ui/after_first_paint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

class FirstPaintWatch : public QObject {
public:
    FirstPaintWatch(QWidget *widget, std::function<void()> work) : QObject(widget), work_(std::move(work))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // Queued: the paint under way finishes and reaches the screen first.
            QTimer::singleShot(0, watched, std::move(work_));
            deleteLater();  // its one job is done
        }
        return false;
    }

private:
    std::function<void()> work_;
};

}  // namespace

void afterFirstPaint(QWidget *widget, std::function<void()> work)
{
    new FirstPaintWatch(widget, std::move(work));
}
