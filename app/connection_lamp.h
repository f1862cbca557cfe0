#pragma once

#include <QColor>
#include <QWidget>

// The square lamp beside the Connect button: green connected, black
// disconnected, red after a failed connect or a lost line.
class ConnectionLamp : public QWidget {
public:
    explicit ConnectionLamp(QWidget *parent) : QWidget(parent) { setColor(QColor(128, 128, 128)); }
    void setColor(const QColor &color)
    {
        color_ = color;
        setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid black;").arg(color.name()));
        setAttribute(Qt::WA_StyledBackground);
        update();
    }
    QColor color() const { return color_; }

private:
    QColor color_;
};
