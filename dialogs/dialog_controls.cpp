#include "dialogs/dialog_controls.h"

#include "ui/fonts.h"
#include "ui/twips.h"

#include <QDialog>

void setUpFixedDialog(QDialog *dialog, const QString &title, int widthTwips, int heightTwips)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                           | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dialog->setWindowTitle(title);
    dialog->setFixedSize(twipsRect(0, 0, widthTwips, heightTwips).size());
    dialog->setFont(sansSerifFont(8.25));
}
