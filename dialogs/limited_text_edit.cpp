#include "dialogs/limited_text_edit.h"

#include "dialogs/message_text.h"

#include <QKeyEvent>
#include <QMimeData>

#include <algorithm>

namespace {

// Stored length of what a key press would insert; 0 for keys that insert
// nothing. Mirrors the keys Qt's text control turns into text.
int typedLength(const QKeyEvent &event)
{
    if (event.matches(QKeySequence::InsertParagraphSeparator) || event.matches(QKeySequence::InsertLineSeparator))
        return storedLength(QStringLiteral("\n"));
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier || modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
        return 0;
    const QString text = event.text();
    if (text.isEmpty())
        return 0;
    const QChar first = text.front();
    if (!first.isPrint() && first.category() != QChar::Other_PrivateUse && !first.isHighSurrogate())
        return 0;
    return storedLength(toBoxText(text));
}

qsizetype firstDifference(const QString &a, const QString &b)
{
    const qsizetype common = std::min(a.size(), b.size());
    qsizetype i = 0;
    while (i < common && a.at(i) == b.at(i))
        ++i;
    return i;
}

}  // namespace

LimitedTextEdit::LimitedTextEdit(int limit, QWidget *parent) : QPlainTextEdit(parent), limit_(limit)
{
    connect(this, &QPlainTextEdit::textChanged, this, &LimitedTextEdit::checkChange);
}

void LimitedTextEdit::loadText(const QString &text)
{
    loading_ = true;
    loaded_ = text;
    setPlainText(toBoxText(text));
    loading_ = false;
    lastWithinLimit_ = boxText();
}

QString LimitedTextEdit::boxText() const { return toBoxText(document()->toRawText()); }

QString LimitedTextEdit::storedText() const { return toStoredMessage(boxText(), loaded_); }

int LimitedTextEdit::storedLengthOf(const QString &boxText) const
{
    return static_cast<int>(toStoredMessage(boxText, loaded_).size());
}

// Room left for text inserted at the cursor, which replaces its selection.
int LimitedTextEdit::roomAt(const QTextCursor &cursor) const
{
    const QString box = boxText();
    const qsizetype start = cursor.selectionStart();
    const QString withoutSelection = box.first(start) + box.sliced(cursor.selectionEnd());
    return limit_ - storedLengthOf(withoutSelection);
}

void LimitedTextEdit::keyPressEvent(QKeyEvent *event)
{
    const int length = typedLength(*event);
    if (!isReadOnly() && length > 0 && length > roomAt(textCursor())) {
        event->accept();  // refused; accepted so that the dialog does not act on it either
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

bool LimitedTextEdit::canInsertFromMimeData(const QMimeData *source) const
{
    return QPlainTextEdit::canInsertFromMimeData(source) && roomAt(textCursor()) > 0;
}

// Paste and drop both come here, with the text cursor at the insertion point.
void LimitedTextEdit::insertFromMimeData(const QMimeData *source)
{
    const QString fitting = fitToRoom(toBoxText(source->text()), roomAt(textCursor()));
    if (fitting.isEmpty())
        return;
    QMimeData cut;
    cut.setText(fitting);
    QPlainTextEdit::insertFromMimeData(&cut);
}

void LimitedTextEdit::checkChange()
{
    if (loading_)
        return;
    const QString now = boxText();
    if (storedLengthOf(now) <= std::max(limit_, storedLengthOf(lastWithinLimit_))) {
        lastWithinLimit_ = now;
        return;
    }
    // Taken back once the change in progress (an undo step, say) has finished:
    // replacing the text from inside it would pull the document out from under it.
    if (!revertPending_) {
        revertPending_ = true;
        QMetaObject::invokeMethod(this, &LimitedTextEdit::revertPastLimit, Qt::QueuedConnection);
    }
}

void LimitedTextEdit::revertPastLimit()
{
    revertPending_ = false;
    const QString now = boxText();
    if (storedLengthOf(now) <= std::max(limit_, storedLengthOf(lastWithinLimit_)))
        return;  // a later change brought it back within the limit
    const qsizetype position = firstDifference(lastWithinLimit_, now);
    // Back to the last text let through, still measured against what was loaded.
    loading_ = true;
    setPlainText(lastWithinLimit_);  // drops the undo history along with the change
    loading_ = false;
    QTextCursor cursor = textCursor();
    cursor.setPosition(static_cast<int>(position));
    setTextCursor(cursor);
}
