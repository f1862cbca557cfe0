#include "dialogs/dialog_controls.h"

#include "ui/fonts.h"
#include "ui/twips.h"

#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>

void setUpFixedDialog(QDialog *dialog, const QString &title, int widthTwips, int heightTwips)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                           | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dialog->setWindowTitle(title);
    dialog->setFixedSize(twipsRect(0, 0, widthTwips, heightTwips).size());
    dialog->setFont(sansSerifFont(8.25));
    keepLeftToRight(dialog);
}

bool pressFocusedButton(QWidget *window, QKeyEvent *event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    auto *button = qobject_cast<QPushButton *>(window->focusWidget());
    if (!button || !button->isEnabled())
        return false;
    event->accept();
    button->click();
    return true;
}
