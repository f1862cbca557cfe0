#pragma once

#include "app/port_combo_box.h"
#include "app/window_history.h"
#include "history/sheet.h"
#include "model/channel_row.h"
#include "link/serial_link.h"
#include "dialogs/progress_window.h"

#include <QFileDialog>
#include <QPointer>
#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ConnectionLamp;
class MessageLabel;
class QMessageBox;
class QPrinter;
class QScrollArea;

// The program's one window: the channel table, the port and slave ID
// choices and the buttons that start every operation. The table has no
// storage of its own: row i lives in chkChEnable[i], txtPhoneNo[i] and
// lblMessage[i].
class frmMain : public QWidget {
    Q_OBJECT
public:
    // portsDirectory: where COM port links are looked up (tests pass their own).
    explicit frmMain(const QString &portsDirectory = QString(), QWidget *parent = nullptr);
    ~frmMain() override;

    // The table as plain values, and one row set from them.
    ChannelTable table() const;
    ChannelRow row(int channel) const;
    void setRow(int channel, const ChannelRow &row);

    SerialLink &link() { return link_; }
    bool isTransferRunning() const { return transferRunning_; }
    // Channels (from 1) holding edits that no Read, Load, Save or Write has
    // replaced or taken since; the table as a file or the modem now holds it.
    QList<int> editedChannels() const;
    void takeTable(const ChannelTable &rows);
    // The progress window of the running transfer, if any.
    frmProgress *progressWindow() const { return progress_; }

    // The sheet for the site of the table shown (Ctrl+P prints it).
    SheetContent sheetContent() const;
    void printSheet(QPrinter &printer) const;
    WindowHistory &history() { return history_; }
    // Where the screen's available area is smaller than the window, the
    // window fits it and scrolls; on a larger one it keeps the design's size.
    void fitToScreen(const QRect &available);


signals:
    // Each value given to the progress bar, in order.
    void progressChanged(int value);

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    friend class MainWindowTransferHost;

    void buildControls();
    void buildPortAndSlaveId();
    void buildFunctionsAndFiles();
    void buildChannelRows();
    void buildPhoneNumbers();
    void buildCredits(const QImage &picture);
    void chainTabOrder();
    void Form_Load();
    void describeRow(int index);
    void cmdConnect_Click();
    void cmdDeviceRead_Click();
    void cmdDeviceWrite_Click();
    void cmdEditNo_Click(int index);
    void cmdEditMsg_Click(int index);
    void cmdFileSave_Click();
    void cmdFileLoad_Click();
    void cmdExit_Click();
    void askToStopTransfer();
    void setUpHistoryAndSheet();
    void recordTransfer(HistoryRecord record);
    void showHistoryWarning(const QString &warning);
    void printSheet_Click();
    bool confirmReplacingEdits(const QString &action, const QString &goOn);
    bool settleEditsBeforeClosing();
    bool saveTable();

    static QString connectCaption();
    void showConnected();
    void showDisconnected();
    void showPortError(const QString &text);
    void reportLineLoss();
    void updatePortTip();
    void markPresentPorts();
    QList<QWidget *> controlsLockedDuringTransfer() const;
    void openProgress(const QString &message);
    void closeProgress();
    bool finishTransfer(QPushButton *startedBy, const QString &addendum = {});
    void showPhoneNo(int channel, const QString &phoneNo);
    int selectedPortNumber() const;
    QString chooseFile(QFileDialog::AcceptMode mode);

    SerialLink link_;
    ChannelTable taken_;  // the table as last read, loaded, saved or written
    QString lastFileName_;
    bool transferRunning_ = false;
    bool writing_ = false;  // the running transfer is a Write
    bool closeRequested_ = false;
    QPointer<frmProgress> progress_;
    QPointer<QMessageBox> stopQuestion_;
    WindowHistory history_;
    QScrollArea *scroller_;
    QWidget *client_;  // the design's client area, holding every control

public:
    // Controls, named as the operator-facing design names them.
    QGroupBox *Frame1, *Frame4, *FrameFunction, *frameFile, *Frame2, *Frame3;
    QLabel *Label1, *Label2, *Label3, *Label4, *Image1;
    PortComboBox *cmbComm;
    QComboBox *cmbSlaveID;
    QPushButton *cmdConnect, *cmdDeviceRead, *cmdDeviceWrite, *cmdFileLoad, *cmdFileSave, *cmdExit;
    ConnectionLamp *shpComm;
    std::array<QCheckBox *, kChannelCount> chkChEnable;
    std::array<QLineEdit *, kChannelCount> txtPhoneNo;
    std::array<MessageLabel *, kChannelCount> lblMessage;
    std::array<QPushButton *, kChannelCount> cmdEditMsg;
    std::array<QPushButton *, kChannelCount> cmdEditNo;
};
