// Read from Device and Write to Device: the window's side of a transfer.
#include "app/combo_selection.h"
#include "app/main_window.h"
#include "app/message_label.h"
#include "ui/busy_guard.h"
#include "transfer/device_read.h"
#include "transfer/device_write.h"
#include "dialogs/progress_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

// Lets a transfer use the window's link, progress bar and table.
class MainWindowTransferHost : public TransferHost, public ReadTarget {
public:
    explicit MainWindowTransferHost(frmMain &window) : w_(window) {}

    Exchange transact(const QByteArray &frame, std::optional<protocol::ReplyShape> expected) override
    {
        return w_.link_.transact(frame, expected);
    }
    bool stopRequested() const override
    {
        return w_.closeRequested_ || w_.link_.hasLineLoss() || !w_.link_.isOpen();
    }
    void setProgress(int value) override
    {
        w_.ProgressValue = qint16(value);
        if (w_.progress_)
            w_.progress_->setValue(value);
        emit w_.progressChanged(value);
    }

    void setSlaveId(int slaveId) override { w_.cmbSlaveID->setCurrentIndex(slaveId - kFirstSlaveId); }
    // A field read replaces any edit of it; a field not read keeps its edit.
    void setChannelEnabled(int channel, bool enabled) override
    {
        w_.chkChEnable[channel]->setChecked(enabled);
        w_.taken_[channel].enabled = enabled;
    }
    void setPhoneNo(int channel, const QString &phoneNo) override
    {
        w_.showPhoneNo(channel, phoneNo);
        w_.taken_[channel].phoneNo = w_.txtPhoneNo[channel]->text();
    }
    void setMessage(int channel, const QString &message) override
    {
        w_.lblMessage[channel]->setMessage(message);
        w_.taken_[channel].message = message;
    }

private:
    frmMain &w_;
};

// Everything that could start a second run, or change what a Write is
// sending, while a transfer waits on the line. Exit too: the focus lands on
// it when the clicked button is disabled, and a second Space would quit.
QList<QWidget *> frmMain::controlsLockedDuringTransfer() const
{
    QList<QWidget *> controls{cmdDeviceRead, cmdDeviceWrite, cmdConnect, cmdFileLoad, cmdFileSave,
                              cmbComm, cmbSlaveID, cmdExit};
    for (int i = 0; i < kChannelCount; ++i)
        controls << cmdEditNo[i] << cmdEditMsg[i] << chkChEnable[i];
    return controls;
}

void frmMain::openProgress(const QString &message)
{
    closeProgress();
    progress_ = new frmProgress(this);
    progress_->setMessage(message);
    progress_->show();
}

// The progress window refuses to close: it goes only with the transfer, and
// so does a stop question still open.
void frmMain::closeProgress()
{
    delete progress_;
    delete stopQuestion_;
}

// After a run: report a lost line (with what the loss cut short: the fields
// that kept their previous values, or the commands that reached the line),
// and close the window if that was asked for while the run waited. Returns
// false when no further message should be shown.
bool frmMain::finishTransfer(QPushButton *startedBy, const QString &addendum)
{
    startedBy->setFocus(Qt::OtherFocusReason);
    if (closeRequested_) {
        // Close from the event loop, once the click handler has returned.
        QTimer::singleShot(0, this, &QWidget::close);
        return false;
    }
    if (link_.hasLineLoss()) {
        showDisconnected();
        const QString loss = link_.takeLineLoss();
        showPortError(addendum.isEmpty() ? loss : loss + "\n\n" + addendum);
        return false;
    }
    return true;
}

void frmMain::cmdDeviceRead_Click()
{
    if (transferRunning_ || !confirmReplacingEdits(tr("Read from Device"), tr("&Read")))
        return;
    ReadOutcome outcome;
    {
        BusyGuard busy(controlsLockedDuringTransfer());
        transferRunning_ = true;
        writing_ = false;
        openProgress("Reading from device ...");
        MainWindowTransferHost host(*this);
        outcome = runDeviceRead(host, host);
        delete stopQuestion_;  // moot once the run has ended
        // The silent modem is reported over the progress window, which
        // closes once the operator has read it.
        if (outcome.status == ReadOutcome::NoAnswer && !closeRequested_)
            QMessageBox::warning(this, "Communication Error", "Cannot communicate with device");
        closeProgress();
        transferRunning_ = false;
    }
    const QString missed = missedFieldsText(outcome);
    if (!finishTransfer(cmdDeviceRead, missed) || outcome.status != ReadOutcome::Completed)
        return;
    if (!missed.isEmpty())
        QMessageBox::warning(this, "Read from Device", missed);
}

void frmMain::cmdDeviceWrite_Click()
{
    if (transferRunning_)
        return;
    const WriteRequest request{selectedNumber(cmbSlaveID, kFirstSlaveId), table()};
    const QStringList problems = writeProblems(request);
    if (!problems.isEmpty()) {
        QMessageBox::warning(this, "Write to Device",
                             tr("Nothing was written to the device.\n\n%1").arg(problems.join('\n')));
        return;
    }
    WriteOutcome outcome;
    {
        BusyGuard busy(controlsLockedDuringTransfer());
        transferRunning_ = true;
        writing_ = true;
        openProgress("Writing to device ...");
        MainWindowTransferHost host(*this);
        outcome = runDeviceWrite(host, request);
        closeProgress();
        transferRunning_ = false;
    }
    if (outcome.completed())
        takeTable(request.rows);
    const QString shortfall = writeShortfallText(outcome);
    if (finishTransfer(cmdDeviceWrite, shortfall) && !outcome.completed())
        QMessageBox::warning(this, "Write to Device", shortfall);
}
