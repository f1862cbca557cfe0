#pragma once

#include <QLabel>

// Shows a row's message on one line: line breaks show as blanks, text past
// the label's width is cut off on screen. The message itself is kept exactly.
class MessageLabel : public QLabel {
public:
    explicit MessageLabel(QWidget *parent) : QLabel(parent)
    {
        setTextFormat(Qt::PlainText);
        // White on navy, set in the palette: a style sheet on each of the 16
        // labels would cost the window's start several milliseconds.
        QPalette colours = palette();
        colours.setColor(QPalette::Window, QColor(0, 0, 128));
        colours.setColor(QPalette::WindowText, Qt::white);
        setPalette(colours);
        setAutoFillBackground(true);
    }
    QString message() const { return message_; }
    void setMessage(const QString &message)
    {
        message_ = message;
        QString shown = message;
        shown.replace(QLatin1String("\r\n"), QLatin1String(" "));
        shown.replace(QLatin1Char('\r'), QLatin1Char(' '));
        shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
        setText(shown);
        setToolTip(message);
        describe();
    }
    // Names the row for a screen reader, which reads the name, not the text.
    void setChannel(int channel)
    {
        channel_ = channel;
        setAccessibleName(tr("Message of channel %1").arg(channel));
        describe();
    }

private:
    void describe()
    {
        setAccessibleDescription(message_.isEmpty() ? tr("Channel %1 has no message").arg(channel_)
                                                    : tr("The message of channel %1: %2").arg(channel_).arg(text()));
    }

    QString message_;
    int channel_ = 0;
};
