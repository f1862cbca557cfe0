#pragma once

#include <QLineEdit>
#include <QValidator>

#include <algorithm>

// Limits what the operator can type into a line edit without touching text
// the program puts there: QLineEdit::setMaxLength would cut a longer number
// read from the modem or a file, and with it the operator's data.
class TypingLimit : public QValidator {
public:
    TypingLimit(int maxChars, QLineEdit *box) : QValidator(box), maxChars_(maxChars), room_(roomFor(box->text()))
    {
        // A longer text the program put here may shrink, never grow: the
        // room follows each text the box takes.
        connect(box, &QLineEdit::textChanged, this, [this](const QString &text) { room_ = roomFor(text); });
    }

    State validate(QString &input, int &) const override { return input.size() <= room_ ? Acceptable : Invalid; }

    // Puts text into the box whatever its length. Checked against the room
    // of the text it replaces, a longer one would leave the box marked
    // invalid, and the box would then keep the operator's next key whatever
    // its length.
    static void setText(QLineEdit *box, const QString &text)
    {
        const QValidator *limit = box->validator();
        box->setValidator(nullptr);
        box->setText(text);
        box->setValidator(limit);
    }

private:
    int roomFor(const QString &text) const { return std::max(maxChars_, int(text.size())); }

    int maxChars_;
    int room_;  // the most the box may hold: the limit, or the longer text it holds
};
