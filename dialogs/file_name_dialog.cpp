#include "dialogs/file_name_dialog.h"

#include <QLineEdit>
#include <QMessageBox>

FileNameDialog::FileNameDialog(QWidget *parent, const QString &caption) : QFileDialog(parent, caption) {}

void FileNameDialog::accept()
{
    // Qt's widget-based dialog names its name box "fileNameEdit"; a native
    // dialog has none and takes names as typed.
    const auto *edit = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (edit && edit->text().contains(u'"')) {
        QMessageBox::warning(this, windowTitle(),
                             tr("The name %1 holds a double quote (\"), which this dialog reads as a list "
                                "of names, so it cannot be used.\n\nChoose a name without double quotes.")
                                 .arg(edit->text()));
        return;
    }
    QFileDialog::accept();
}
