#pragma once

#include <QValidator>

// Limits what the operator can type into a line edit without touching text
// the program puts there: QLineEdit::setMaxLength would cut a longer number
// read from the modem or a file, and with it the operator's data.
class TypingLimit : public QValidator {
public:
    TypingLimit(int maxChars, QObject *parent) : QValidator(parent), maxChars_(maxChars) {}
    State validate(QString &input, int &) const override
    {
        return input.size() <= maxChars_ ? Acceptable : Invalid;
    }
    int maxChars() const { return maxChars_; }

private:
    int maxChars_;
};
