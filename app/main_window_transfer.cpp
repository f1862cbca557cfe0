// Read from Device and Write to Device: the window's side of a transfer.
#include "app/combo_selection.h"
#include "app/main_window.h"
#include "app/message_label.h"
#include "ui/busy_guard.h"
#include "transfer/device_read.h"
#include "transfer/device_write.h"
#include "transfer/write_check.h"
#include "dialogs/progress_window.h"
#include "history/transfer_records.h"
#include "transfer/no_answer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

// Lets a transfer use the window's link, progress bar and table.
class MainWindowTransferHost : public TransferHost, public ReadTarget {
public:
    explicit MainWindowTransferHost(frmMain &window) : w_(window)
    {
        // Stop in the close question also ends a wait for a chatty line to go quiet.
        w_.link_.setStopCheck([&w = w_] { return w.closeRequested_; });
    }

    Exchange transact(const QByteArray &frame, std::optional<protocol::ReplyShape> expected) override
    {
        return w_.link_.transact(frame, expected);
    }
    bool quietAfterLastReply() override { return w_.link_.quietAfterLastReply(); }
    bool stopRequested() const override
    {
        return w_.closeRequested_ || w_.link_.hasLineLoss() || !w_.link_.isOpen();
    }
    bool overNetwork() const override { return w_.link_.isNetwork(); }
    void setProgress(int value) override
    {
        if (w_.progress_)
            w_.progress_->setValue(value);
        emit w_.progressChanged(value);
    }

    void setSlaveId(int slaveId) override
    {
        w_.cmbSlaveID->setCurrentIndex(slaveId - kFirstSlaveId);
        slaveIdRead_ = slaveId;
    }
    std::optional<int> slaveIdRead() const { return slaveIdRead_; }
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
    std::optional<int> slaveIdRead_;
};

namespace {

// A Write's probe and its check read the modem as --fast does: each read
// ends once its whole reply is in. A write command, which expects no reply,
// keeps its whole window whatever this says.
class WholeReplyEnd {
public:
    explicit WholeReplyEnd(SerialLink &link) : link_(link), was_(link.endsOnWholeReply()) { link.setEndOnWholeReply(true); }
    ~WholeReplyEnd() { link_.setEndOnWholeReply(was_); }
    WholeReplyEnd(const WholeReplyEnd &) = delete;
    WholeReplyEnd &operator=(const WholeReplyEnd &) = delete;

private:
    SerialLink &link_;
    bool was_;
};

}  // namespace

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
        openProgress(tr("Reading from device ..."));
        MainWindowTransferHost host(*this);
        outcome = runDeviceRead(host, host);
        recordTransfer(readRecord(outcome, link_.hasLineLoss(), table(), host.slaveIdRead()));
        delete stopQuestion_;  // moot once the run has ended
        // The silent modem is reported over the progress window, which
        // closes once the operator has read it.
        if (outcome.status == ReadOutcome::NoAnswer && !closeRequested_)
            QMessageBox::warning(this, tr("Communication Error"), noAnswerText());
        closeProgress();
        transferRunning_ = false;
    }
    const QString missed = missedFieldsText(outcome);
    if (!finishTransfer(cmdDeviceRead, missed) || outcome.status != ReadOutcome::Completed)
        return;
    const QString remarks = readRemarksText(outcome);
    QStringList paragraphs{missed, remarks};
    paragraphs.removeAll(QString());
    if (!paragraphs.isEmpty())
        QMessageBox::warning(this, tr("Read from Device"), paragraphs.join("\n\n"));
}

void frmMain::cmdDeviceWrite_Click()
{
    if (transferRunning_)
        return;
    const WriteRequest request{selectedNumber(cmbSlaveID, kFirstSlaveId), table()};
    const QStringList problems = writeProblems(request);
    if (!problems.isEmpty()) {
        QMessageBox::warning(this, tr("Write to Device"),
                             tr("Nothing was written to the device.\n\n%1").arg(problems.join('\n')));
        return;
    }
    WriteOutcome outcome;
    WriteCheck check;
    bool checked = false;
    {
        BusyGuard busy(controlsLockedDuringTransfer());
        transferRunning_ = true;
        writing_ = true;
        openProgress(tr("Writing to device ..."));
        MainWindowTransferHost host(*this);
        WholeReplyEnd quickReads(link_);
        outcome = runDeviceWrite(host, request);
        if (outcome.completed() && !host.stopRequested()) {
            progress_->setMessage(tr("Checking ..."));
            check = checkWrite(host, request);
            checked = true;
        }
        delete stopQuestion_;  // moot once the run has ended
        // As after a Read: the silent modem is reported over the progress window.
        if (outcome.status == WriteOutcome::NoAnswer && !closeRequested_)
            QMessageBox::warning(this, tr("Communication Error"), noAnswerText());
        recordTransfer(writeRecord(outcome, link_.hasLineLoss(), request, checked ? &check : nullptr));
        closeProgress();
        transferRunning_ = false;
    }
    // The silent modem was reported above.
    const QString told = outcome.completed() ? writeCheckText(check) : writeShortfallText(outcome);
    // Only a Write the modem was found to hold takes the table's edits.
    if (outcome.completed() && checked && told.isEmpty())
        takeTable(request.rows);
    if (finishTransfer(cmdDeviceWrite, told) && outcome.status != WriteOutcome::NoAnswer && !told.isEmpty())
        QMessageBox::warning(this, tr("Write to Device"), told);
}
