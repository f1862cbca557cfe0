#pragma once

#include <QGroupBox>

// A frame with its caption on the top border line, interrupting it, as the
// platform's own frames are drawn. The border runs along the widget's edges
// and half a text line down from the top, so controls placed at the usual
// offsets (from 240 twips down) lie inside it whatever the widget style.
class CaptionedFrame : public QGroupBox {
public:
    CaptionedFrame(const QString &caption, QWidget *parent) : QGroupBox(caption, parent) {}

protected:
    void paintEvent(QPaintEvent *event) override;
};
