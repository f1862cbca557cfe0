#include "app/main_window.h"

#include "app/connection_lamp.h"
#include "app/message_label.h"
#include "app/port_combo_box.h"
#include "app/window_placement.h"
#include "dialogs/dialog_controls.h"
#include "link/com_port.h"
#include "link/port_address.h"
#include "dialogs/progress_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QScreen>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

frmMain::frmMain(const QString &portsDirectory, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                          | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      link_(portsDirectory.isEmpty() ? defaultPortsDirectory() : portsDirectory)
{
    setObjectName("frmMain");
    buildControls();
    Form_Load();
    updatePortTip();

    connect(cmdConnect, &QPushButton::clicked, this, &frmMain::cmdConnect_Click);
    connect(cmdDeviceRead, &QPushButton::clicked, this, &frmMain::cmdDeviceRead_Click);
    connect(cmdDeviceWrite, &QPushButton::clicked, this, &frmMain::cmdDeviceWrite_Click);
    connect(cmdFileSave, &QPushButton::clicked, this, &frmMain::cmdFileSave_Click);
    connect(cmdFileLoad, &QPushButton::clicked, this, &frmMain::cmdFileLoad_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmMain::cmdExit_Click);
    for (int i = 0; i < kChannelCount; ++i) {
        connect(cmdEditNo[i], &QPushButton::clicked, this, [this, i] { cmdEditNo_Click(i); });
        connect(cmdEditMsg[i], &QPushButton::clicked, this, [this, i] { cmdEditMsg_Click(i); });
    }
    connect(cmbComm, &QComboBox::currentIndexChanged, this, &frmMain::updatePortTip);
    connect(cmbComm, &QComboBox::editTextChanged, this, &frmMain::updatePortTip);
    // The look-up blocks for tens of milliseconds: never inside a transfer's reply window.
    connect(cmbComm, &PortComboBox::marksWanted, this, [this] {
        if (!transferRunning_)
            markPresentPorts();
    });
    connect(&link_, &SerialLink::lineLost, this, &frmMain::reportLineLoss);
    setUpHistoryAndSheet();
}

frmMain::~frmMain() = default;

ChannelRow frmMain::row(int channel) const
{
    return {chkChEnable[channel]->checkState() == Qt::Checked, txtPhoneNo[channel]->text(),
            lblMessage[channel]->message()};
}

ChannelTable frmMain::table() const
{
    ChannelTable rows;
    for (int i = 0; i < kChannelCount; ++i)
        rows[i] = row(i);
    return rows;
}

// A row from a file or the modem: no edit of the operator's.
void frmMain::setRow(int channel, const ChannelRow &row)
{
    chkChEnable[channel]->setChecked(row.enabled);
    showPhoneNo(channel, row.phoneNo);
    lblMessage[channel]->setMessage(row.message);
    taken_[channel] = this->row(channel);
}

// The box is never enabled, so the operator cannot scroll it: a number too
// long for it shows from its first character, the '+' and country code.
void frmMain::showPhoneNo(int channel, const QString &phoneNo)
{
    txtPhoneNo[channel]->setText(phoneNo);
    txtPhoneNo[channel]->setCursorPosition(0);
}

int frmMain::selectedPortNumber() const { return kFirstComPort + cmbComm->currentIndex(); }

void frmMain::updatePortTip()
{
    const int number = selectedPortNumber();
    const QString device = link_.deviceFor(number);
    if (!device.isEmpty())
        cmbComm->setToolTip(device);
    else
        cmbComm->setToolTip(number >= kFirstComPort ? tr("COM %1: no device present").arg(number)
                                                    : tr("No COM port selected"));
}

void frmMain::markPresentPorts()
{
    cmbComm->showPresentPorts(presentComPorts(link_.portsDirectory()));
    updatePortTip();
}

void frmMain::cmdConnect_Click()
{
    QString error;
    const QString typed = cmbComm->currentText().trimmed();
    cmbComm->showChosenEntry();
    if (!link_.isOpen()) {
        if (isNetworkPortName(typed) ? !link_.openNetwork(typed, &error) : !link_.open(selectedPortNumber(), &error))
            return showPortError(error);
        showConnected();
    } else {
        if (!link_.close(&error))
            return showPortError(error);
        showDisconnected();
    }
}

QString frmMain::connectCaption() { return tr("&Connect"); }

void frmMain::showConnected()
{
    cmdConnect->setText(tr("&Disconnect"));
    shpComm->setState(ConnectionLamp::Connected);
    FrameFunction->setEnabled(true);
}

void frmMain::showDisconnected()
{
    cmdConnect->setText(connectCaption());
    shpComm->setState(ConnectionLamp::Disconnected);
    FrameFunction->setEnabled(false);
}

void frmMain::showPortError(const QString &text)
{
    QMessageBox::warning(this, tr("USB Port Error"), text);
    shpComm->setState(ConnectionLamp::Failed);
}

// The port failed while open. During a transfer the run itself reports it
// once its progress window is gone; between transfers it is reported here.
void frmMain::reportLineLoss()
{
    if (transferRunning_ || !link_.hasLineLoss())
        return;
    showDisconnected();
    const QString text = link_.takeLineLoss();
    if (!closeRequested_)
        showPortError(text);
}

void frmMain::cmdExit_Click() { close(); }

// The buttons never make themselves default ones, so a focused button leaves
// Enter to its window: pressed here, as in the dialogs.
void frmMain::keyPressEvent(QKeyEvent *event)
{
    if (!pressFocusedButton(this, event))
        QWidget::keyPressEvent(event);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (!transferRunning_) {
        event->setAccepted(settleEditsBeforeClosing());
        return;
    }
    // A stop leaves the modem or the table half done: ask, and close only
    // once the transfer has ended after its current command.
    event->ignore();
    if (!closeRequested_ && !stopQuestion_)
        askToStopTransfer();
}

// Asked without holding up the transfer: it goes on while the question is
// open, and Continue (also Enter, Space or Esc) leaves it running.
void frmMain::askToStopTransfer()
{
    const QString text = writing_
        ? tr("A Write to the device is running. If it stops now, the device keeps part of the table: "
             "the fields written so far are new, the others keep what the device held before.\n\n"
             "Stop the Write and close the window?")
        : tr("A Read from the device is running. If it stops now, the table is only partly read: "
             "the fields not yet read keep their previous values.\n\nStop the Read and close the window?");
    auto *box = new QMessageBox(QMessageBox::Question, windowTitle(), text, QMessageBox::NoButton, this);
    box->setObjectName("stopQuestion");
    keepLeftToRight(box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton *stop = box->addButton(tr("Stop"), QMessageBox::DestructiveRole);
    QPushButton *carryOn = box->addButton(tr("Continue"), QMessageBox::RejectRole);
    box->setDefaultButton(carryOn);
    box->setEscapeButton(carryOn);
    connect(stop, &QPushButton::clicked, this, [this] { closeRequested_ = true; });
    stopQuestion_ = box;
    box->open();
    // Beside the progress window, not over it: the run goes on meanwhile.
    if (progress_ && box->screen())
        box->move(clearOf(progress_->frameGeometry(), box->frameGeometry().size(), box->screen()->availableGeometry()));
}
