#pragma once

#include <QColor>
#include <QPainter>
#include <QWidget>

// The square lamp beside the Connect button: green connected, black
// disconnected, red after a failed connect or a lost line.
class ConnectionLamp : public QWidget {
public:
    explicit ConnectionLamp(QWidget *parent) : QWidget(parent)
    {
        setAccessibleName(tr("Connection"));
        setColor(QColor(128, 128, 128));
    }
    void setColor(const QColor &color)
    {
        color_ = color;
        setAccessibleDescription(color == QColor(0, 255, 0) ? tr("Connected: the port is open")
                                 : color == QColor(255, 0, 0) ? tr("Not connected: the port could not be opened or the line was lost")
                                                              : tr("Not connected"));
        update();
    }
    QColor color() const { return color_; }

protected:
    // Painted by hand rather than with a style sheet, which would bring the
    // style sheet machinery into the window's start.
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        painter.fillRect(rect().adjusted(1, 1, -1, -1), color_);
    }

private:
    QColor color_;
};
