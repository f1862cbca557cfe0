#pragma once

#include <QLineEdit>
#include <QValidator>

#include <algorithm>

// Limits what the operator can type into a line edit without touching text
// the program puts there: QLineEdit::setMaxLength would cut a longer number
// read from the modem or a file, and with it the operator's data.
class TypingLimit : public QValidator {
public:
    TypingLimit(int maxChars, QObject *parent) : QValidator(parent), maxChars_(maxChars), room_(maxChars) {}

    State validate(QString &input, int &) const override
    {
        if (input.size() <= maxChars_) {
            room_ = maxChars_;
            return Acceptable;
        }
        // A longer text the program put here may shrink, never grow.
        if (input.size() <= room_) {
            room_ = input.size();
            return Acceptable;
        }
        return Invalid;
    }

    // Puts text into the box whatever its length.
    static void setText(QLineEdit *box, const QString &text)
    {
        if (auto *limit = dynamic_cast<const TypingLimit *>(box->validator()))
            limit->room_ = std::max(limit->maxChars_, int(text.size()));
        box->setText(text);
    }

private:
    int maxChars_;
    mutable int room_;
};
