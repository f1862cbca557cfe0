#include "dialogs/message_text.h"

#include <QList>

namespace {

bool isBreak(QChar c) { return c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator; }

// The box text of a stored text, and where each of its characters starts in
// the stored text (one entry more, for the end).
struct BoxView {
    QString box;
    QList<qsizetype> storedAt;
};

BoxView boxView(const QString &text)
{
    BoxView view;
    view.box.reserve(text.size());
    view.storedAt.reserve(text.size() + 1);
    for (qsizetype i = 0; i < text.size(); ++i) {
        view.storedAt.append(i);
        if (!isBreak(text.at(i))) {
            view.box.append(text.at(i));
            continue;
        }
        view.box.append(u'\n');
        if (text.at(i) == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
    }
    view.storedAt.append(text.size());
    return view;
}

}  // namespace

QString toBoxText(const QString &text) { return boxView(text).box; }

QString toStoredMessage(const QString &boxText, const QString &original)
{
    // What the operator changed lies between the longest common start and
    // the longest common end of the box as loaded and the box as it is.
    const BoxView loaded = boxView(original);
    const qsizetype loadedSize = loaded.box.size(), nowSize = boxText.size();
    qsizetype head = 0;
    while (head < loadedSize && head < nowSize && loaded.box.at(head) == boxText.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < loadedSize - head && tail < nowSize - head
           && loaded.box.at(loadedSize - 1 - tail) == boxText.at(nowSize - 1 - tail))
        ++tail;
    QString changed = boxText.sliced(head, nowSize - head - tail);
    changed.replace(u'\n', QStringLiteral("\r\n"));
    return original.first(loaded.storedAt[head]) + changed + original.sliced(loaded.storedAt[loadedSize - tail]);
}

int storedLength(const QString &boxText)
{
    return static_cast<int>(boxText.size() + boxText.count(u'\n'));
}

QString fitToRoom(const QString &boxText, int room)
{
    qsizetype end = 0;
    int used = 0;
    while (end < boxText.size()) {
        const QChar c = boxText.at(end);
        // A surrogate pair is one character on screen: keep it whole or drop it.
        const qsizetype units = c.isHighSurrogate() && end + 1 < boxText.size() ? 2 : 1;
        const int cost = c == u'\n' ? 2 : static_cast<int>(units);
        if (used + cost > room)
            break;
        used += cost;
        end += units;
    }
    return boxText.first(end);
}

QString counterCaption(int storedLength)
{
    return QString::number(storedLength) + QStringLiteral("/") + QString::number(kMessageLimit);
}
