// Edits no file and no modem holds: asked about before a Read, a Load or
// closing would drop them.
#include "app/main_window.h"
#include "app/table_edits.h"
#include "ui/controls.h"

#include <QMessageBox>
#include <QPushButton>

QList<int> frmMain::editedChannels() const { return ::editedChannels(table(), taken_); }

void frmMain::takeTable(const ChannelTable &rows) { taken_ = rows; }

// True when there are no such edits, or the operator lets `action` replace them.
bool frmMain::confirmReplacingEdits(const QString &action, const QString &goOn)
{
    const QList<int> edited = editedChannels();
    if (edited.isEmpty())
        return true;
    QMessageBox box(QMessageBox::Question, action,
                    tr("%1 replaces the edits in %2, which were neither saved to a file nor written to the device.")
                        .arg(action, channelsText(edited)),
                    QMessageBox::NoButton, this);
    keepLeftToRight(&box);
    QPushButton *replace = box.addButton(goOn, QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == replace;
}

// True when the window may close: no such edits, or the operator saved them
// to a file or chose to discard them.
bool frmMain::settleEditsBeforeClosing()
{
    const QList<int> edited = editedChannels();
    if (edited.isEmpty())
        return true;
    QMessageBox box(QMessageBox::Question, windowTitle(),
                    tr("The edits in %1 were neither saved to a file nor written to the device.\n\n"
                       "Save them to a file before closing?")
                        .arg(channelsText(edited)),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setObjectName("editsQuestion");
    keepLeftToRight(&box);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Discard:
        return true;
    case QMessageBox::Save:
        return saveTable();
    default:
        return false;
    }
}
