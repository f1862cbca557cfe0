#pragma once

#include <QPlainTextEdit>

// A plain multi-line box whose text, counted as it is stored (a line break
// typed is CR LF, two characters; one loaded keeps its own form), never goes past a limit, however it arrives: a key
// that would pass it is refused, pasted or dropped text is cut to fit, and a
// change by any other way (an input method, undo) is taken back.
class LimitedTextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    LimitedTextEdit(int limit, QWidget *parent);

    // Text set by the program is kept whole, even past the limit; it can then shrink but not grow.
    void loadText(const QString &text);

    // The text with each line break as one '\n'.
    QString boxText() const;

    // The text as it is to be stored: the loaded text where it was left
    // untouched, byte for byte, and CR LF for every line break typed.
    QString storedText() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    int storedLengthOf(const QString &boxText) const;
    int roomAt(const QTextCursor &cursor) const;
    void checkChange();
    void revertPastLimit();

    int limit_;
    QString loaded_;           // the stored text given to loadText
    QString lastWithinLimit_;  // the box text after the last change that was let through
    bool loading_ = false;
    bool revertPending_ = false;
};
