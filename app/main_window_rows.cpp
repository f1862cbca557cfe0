// The row editors and the configuration file: the window's side.
#include "app/main_window.h"
#include "app/message_label.h"
#include "configfile/config_file.h"
#include "configfile/config_messages.h"
#include "dialogs/frm_edit_message.h"
#include "dialogs/file_name_dialog.h"
#include "dialogs/frm_edit_no.h"
#include "dialogs/hand_over.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

void frmMain::cmdEditNo_Click(int index)
{
    mdiMain::gPhoneNo = txtPhoneNo[index]->text();
    frmEditNo(this).exec();
    if (mdiMain::gPhoneNoAccepted)
        showPhoneNo(index, mdiMain::gPhoneNo);
}

void frmMain::cmdEditMsg_Click(int index)
{
    mdiMain::gMessage = lblMessage[index]->message();
    frmEditMessage(this).exec();
    if (mdiMain::gMessageAccepted)
        lblMessage[index]->setMessage(mdiMain::gMessage);
}

// The chosen file, or an empty name when the operator cancelled: a cancel
// never falls back to the name chosen last time.
QString frmMain::chooseFile(QFileDialog::AcceptMode mode)
{
    FileNameDialog cdia(this, mode == QFileDialog::AcceptSave ? tr("Save to File") : tr("Load from File"));
    cdia.setObjectName("cdia");
    cdia.setAcceptMode(mode);
    cdia.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    cdia.setNameFilters({tr("Text files (*.txt)"), tr("All files (*)")});
    if (mode == QFileDialog::AcceptSave)
        cdia.setDefaultSuffix("txt");
    if (!lastFileName_.isEmpty())
        cdia.selectFile(lastFileName_);
    if (cdia.exec() != QDialog::Accepted || cdia.selectedFiles().isEmpty())
        return {};
    lastFileName_ = cdia.selectedFiles().constFirst();
    return lastFileName_;
}

void frmMain::cmdFileSave_Click() { saveTable(); }

// True when the table went into a file.
bool frmMain::saveTable()
{
    const QString path = chooseFile(QFileDialog::AcceptSave);
    if (path.isEmpty())
        return false;
    const ChannelTable rows = table();
    const FileResult result = saveConfigFile(path, rows);
    if (!result.ok) {
        QMessageBox::warning(this, tr("Save to File"), saveFailureText(path, result.error));
        return false;
    }
    takeTable(rows);
    return true;
}

void frmMain::cmdFileLoad_Click()
{
    if (!confirmReplacingEdits(tr("Load from File"), tr("&Load")))
        return;
    const QString path = chooseFile(QFileDialog::AcceptOpen);
    if (path.isEmpty())
        return;
    const ConfigReadResult result = loadConfigFile(path);
    for (int i = 0; i < result.rows.size() && i < kChannelCount; ++i)
        setRow(i, result.rows[i]);
    if (const QString told = loadProblemText(path, result); !told.isEmpty())
        QMessageBox::warning(this, tr("Load from File"), told);
}
