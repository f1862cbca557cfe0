#pragma once

#include <QColor>
#include <QPainter>
#include <QWidget>

// The square lamp beside the Connect button: grey before the first
// Connect, green connected, black disconnected, red after a failed connect
// or a lost line.
class ConnectionLamp : public QWidget {
public:
    enum State { Untried, Connected, Disconnected, Failed };

    explicit ConnectionLamp(QWidget *parent) : QWidget(parent)
    {
        setAccessibleName(tr("Connection"));
        setState(Untried);
    }
    void setState(State state)
    {
        switch (state) {
        case Untried:
            return light(QColor(128, 128, 128), tr("Not connected"));
        case Connected:
            return light(QColor(0, 255, 0), tr("Connected: the port is open"));
        case Disconnected:
            return light(QColor(0, 0, 0), tr("Not connected"));
        case Failed:
            return light(QColor(255, 0, 0), tr("Not connected: the port could not be opened or the line was lost"));
        }
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
    void light(const QColor &color, const QString &description)
    {
        color_ = color;
        setAccessibleDescription(description);
        update();
    }

    QColor color_;
};
