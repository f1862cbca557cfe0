#pragma once

#include <QLabel>

// Shows a row's message on one line: line breaks show as blanks, text past
// the label's width is cut off on screen. The message itself is kept exactly.
class MessageLabel : public QLabel {
public:
    explicit MessageLabel(QWidget *parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }
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
    }

private:
    QString message_;
};
