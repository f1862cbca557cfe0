#include "app/port_combo_box.h"

#include "link/port_address.h"

#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <QTimer>

#include <utility>

namespace {

QString presentTip(const PresentComPort &port)
{
    QStringList lines{port.device};
    if (const QString target = QFileInfo(port.device).canonicalFilePath(); target != port.device)
        lines.append(QObject::tr("links to %1").arg(target));
    for (const QString &fact : {port.description, port.manufacturer})
        if (!fact.isEmpty())
            lines.append(fact);
    if (!port.serialNumber.isEmpty())
        lines.append(QObject::tr("serial number %1").arg(port.serialNumber));
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

PortComboBox::PortComboBox(QWidget *parent) : QComboBox(parent)
{
    connect(this, &QComboBox::editTextChanged, this, [this](const QString &text) {
        if (const int entry = findText(text, Qt::MatchFixedString); entry >= 0 && entry != currentIndex())
            setCurrentIndex(entry);
    });
}

void PortComboBox::showChosenEntry()
{
    // A network port typed into the box stays, as no entry stands for it.
    if (isNetworkPortName(currentText().trimmed()))
        return;
    if (currentIndex() >= 0 && currentText() != itemText(currentIndex()))
        setEditText(itemText(currentIndex()));
}

void PortComboBox::focusOutEvent(QFocusEvent *event)
{
    QComboBox::focusOutEvent(event);
    showChosenEntry();
}

void PortComboBox::showPresentPorts(const QList<PresentComPort> &present)
{
    const QIcon mark(QStringLiteral(":/assets/port-present.png"));
    // Unmarked entries get a clear icon of the same size: an entry without
    // any icon is drawn with less indent and height, and the texts would not
    // line up.
    QPixmap clear(iconSize());
    clear.fill(Qt::transparent);
    const QIcon noMark(clear);
    auto next = present.cbegin();
    for (int index = 0; index < count(); ++index) {
        const int number = kFirstComPort + index;
        const bool here = next != present.cend() && next->number == number;
        setItemIcon(index, here ? mark : noMark);
        setItemData(index, here ? presentTip(*next) : tr("COM %1: no device present").arg(number), Qt::ToolTipRole);
        if (here)
            ++next;
    }
}

void PortComboBox::showPopup()
{
    emit marksWanted();
    QComboBox::showPopup();
}

void PortComboBox::paintEvent(QPaintEvent *event)
{
    QComboBox::paintEvent(event);
    if (!std::exchange(painted_, true))
        QTimer::singleShot(0, this, &PortComboBox::marksWanted);
}
