// Builds the main window's controls at their design positions.
#include "app/connection_lamp.h"
#include "ui/captioned_frame.h"
#include "ui/controls.h"
#include "ui/fonts.h"
#include "ui/png_pixmap.h"
#include "app/main_window.h"
#include "app/message_label.h"
#include "app/port_combo_box.h"
#include "app/window_placement.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// The design keeps both phone columns inside "Phone Numbers": the second
// column ends at 5535 twips, so the frame, the configuration frame and the
// window are wider than the first drawing that cut the column off.
constexpr int kFrame3Width = 4680 + 855 + 240;
constexpr int kFrame2Width = 6720 + kFrame3Width + 240;
constexpr int kClientWidth = 2400 + kFrame2Width + 120;
constexpr int kClientHeight = 6555;

template <typename Widget>
Widget *place(Widget *widget, const QString &name, int left, int top, int width, int height)
{
    widget->setObjectName(name);
    widget->setGeometry(twipsRect(left, top, width, height));
    return widget;
}

QGroupBox *frame(QWidget *parent, const QString &name, const QString &title, int l, int t, int w, int h)
{
    return place(new CaptionedFrame(title, parent), name, l, t, w, h);
}

template <typename Combo = QComboBox>
Combo *dropDown(QWidget *parent, const QString &name, int l, int t, int w, int h)
{
    auto *combo = place(new Combo(parent), name, l, t, w, h);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setMaxVisibleItems(16);
    return combo;
}

}  // namespace

void frmMain::buildControls()
{
    setWindowTitle(tr("Telvarin"));
    setFont(sansSerifFont(8.25));
    keepLeftToRight(this);
    // The controls stand on a client area of the design's size; where the
    // screen is smaller, the window shows part of it and scrolls.
    client_ = new QWidget;
    client_->setObjectName("client");
    keepLeftToRight(client_);  // made as a window of its own, it would take the program's direction
    client_->setFixedSize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight));
    scroller_ = new QScrollArea(this);
    scroller_->setObjectName("scroller");
    scroller_->setFrameShape(QFrame::NoFrame);
    scroller_->setFocusPolicy(Qt::NoFocus);
    scroller_->setWidget(client_);  // first: the controls take the window's font from the start
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroller_);
    setFixedSize(client_->size());

    buildPortAndSlaveId();
    buildFunctionsAndFiles();
    Frame2 = frame(client_, "Frame2", tr("Configuration"), 2400, 120, kFrame2Width, 6255);
    buildChannelRows();
    buildPhoneNumbers();
    buildCredits(pngImage(QStringLiteral(":/assets/picture.png")));

    for (QGroupBox *frame : {Frame1, Frame4, FrameFunction, frameFile, Frame2, Frame3}) {
        shrinkFontToFit(frame);
        // Else a screen reader names a frame inside another by the outer one's caption.
        frame->setAccessibleName(frame->title().remove('&'));
    }
    chainTabOrder();
}

void frmMain::fitToScreen(const QRect &available)
{
    // Before the window is first shown its frame is not known yet: room
    // for a common title bar and border.
    const QSize frame = isVisible() ? frameGeometry().size() - size() : QSize(8, 38);
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroller_);
    setFixedSize(fittedWindowSize(client_->size(), available.size() - frame, bar));
}

void frmMain::buildPortAndSlaveId()
{
    // Alt and a letter: P, I, C (or D), R, W, L, S and X, none twice.
    Frame1 = frame(client_, "Frame1", tr("Communication"), 120, 120, 2055, 1575);
    Label1 = addLabel(Frame1, "Label1", tr("&Port No."), twipsRect(480, 240, 855, 255), font());
    cmbComm = dropDown<PortComboBox>(Frame1, "cmbComm", 240, 600, 1455, 315);
    Label1->setBuddy(cmbComm);  // a screen reader names the list by it
    cmdConnect = addButton(Frame1, "cmdConnect", connectCaption(), twipsRect(240, 1080, 1215, 315));
    shpComm = place(new ConnectionLamp(Frame1), "shpComm", 1680, 1080, 255, 255);

    // The frame's caption names the list, and its mnemonic moves the focus there.
    Frame4 = frame(client_, "Frame4", tr("Slave &ID"), 120, 1800, 2055, 855);
    cmbSlaveID = dropDown(Frame4, "cmbSlaveID", 240, 360, 1455, 315);
}

void frmMain::buildFunctionsAndFiles()
{
    FrameFunction = frame(client_, "FrameFunction", tr("Function"), 120, 2760, 2055, 1215);
    cmdDeviceRead = addButton(FrameFunction, "cmdDeviceRead", tr("&Read from Device"), twipsRect(240, 240, 1575, 375));
    cmdDeviceWrite = addButton(FrameFunction, "cmdDeviceWrite", tr("&Write to Device"), twipsRect(240, 720, 1575, 375));

    frameFile = frame(client_, "frameFile", tr("File"), 120, 4080, 2055, 1455);
    cmdFileLoad = addButton(frameFile, "cmdFileLoad", tr("&Load from File"), twipsRect(240, 240, 1575, 495));
    cmdFileSave = addButton(frameFile, "cmdFileSave", tr("&Save to File"), twipsRect(240, 840, 1575, 495));

    cmdExit = addButton(client_, "cmdExit", tr("E&xit"), twipsRect(240, 5760, 1815, 495));
}

// One row per channel in "Configuration": its enable box, message and message button.
void frmMain::buildChannelRows()
{
    for (int i = 0; i < kChannelCount; ++i) {
        const int top = 360 + 360 * i;
        const QString index = QString::number(i);
        chkChEnable[i] = place(new QCheckBox(Frame2), "chkChEnable_" + index, 240, top, 1215, 255);
        lblMessage[i] = place(new MessageLabel(Frame2), "lblMessage_" + index, 1560, top, 3855, 255);
        cmdEditMsg[i] = addButton(Frame2, "cmdEditMsg_" + index, tr("Edit Msg."), twipsRect(5640, top, 855, 255));
    }
}

// The channels' numbers in two columns of eight.
void frmMain::buildPhoneNumbers()
{
    Frame3 = frame(Frame2, "Frame3", tr("Phone Numbers"), 6720, 240, kFrame3Width, 3375);
    for (int i = 0; i < kChannelCount; ++i) {
        const int column = i < 8 ? 0 : 2880;
        const int top = 360 + 360 * (i % 8);
        const QString index = QString::number(i);
        txtPhoneNo[i] = place(new QLineEdit(Frame3), "txtPhoneNo_" + index, 240 + column, top, 1455, 285);
        cmdEditNo[i] = addButton(Frame3, "cmdEditNo_" + index, tr("Edit No."), twipsRect(1800 + column, top, 855, 255));
    }
}

// The picture and the maker's lines under the phone numbers.
void frmMain::buildCredits(const QImage &picture)
{
    Image1 = addLabel(Frame2, "Image1", QString(), twipsRect(6720, 4200, 2865, 1050), font());
    Image1->setAccessibleName(tr("Picture: the alarm modem sending an SMS to a phone"));
    Image1->setPixmap(QPixmap::fromImage(picture));
    Image1->setScaledContents(true);

    Label2 = addLabel(Frame2, "Label2", tr("Designed & Developed by:"), twipsRect(6840, 5280, 2655, 255), font());
    setTextColour(Label2, QColor(192, 192, 192));
    Label3 = addLabel(Frame2, "Label3", "Brackwell", twipsRect(6840, 5520, 2655, 255), arialRoundedFont(9.75),
                      Qt::AlignCenter);
    setTextColour(Label3, QColor(64, 64, 64));
    Label4 = addLabel(Frame2, "Label4", "www.brackwell.example", twipsRect(6840, 5760, 2655, 255),
                      arialRoundedFont(8.25), Qt::AlignCenter);
    setTextColour(Label4, QColor(128, 128, 255));
}

// Tab goes down the left column, then along the table row by row, Exit last.
void frmMain::chainTabOrder()
{
    QList<QWidget *> chain{cmbComm, cmdConnect, cmbSlaveID, cmdDeviceRead, cmdDeviceWrite, cmdFileLoad, cmdFileSave};
    for (int i = 0; i < kChannelCount; ++i)
        chain << chkChEnable[i] << txtPhoneNo[i] << cmdEditNo[i] << cmdEditMsg[i];
    chain << cmdExit;
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

// Every row looks alike on screen; a screen reader tells them apart by these.
void frmMain::describeRow(int i)
{
    const int channel = i + 1;
    auto describe = [channel](QWidget *widget, const char *name, const char *description) {
        widget->setAccessibleName(tr(name).arg(channel));
        widget->setAccessibleDescription(tr(description).arg(channel));
    };
    describe(chkChEnable[i], QT_TR_NOOP("Channel %1 on"), QT_TR_NOOP("Channel %1 sends its message when checked"));
    describe(txtPhoneNo[i], QT_TR_NOOP("Phone number of channel %1"),
             QT_TR_NOOP("The number channel %1 sends its message to"));
    describe(cmdEditNo[i], QT_TR_NOOP("Edit No. of channel %1"), QT_TR_NOOP("Edit the phone number of channel %1"));
    describe(cmdEditMsg[i], QT_TR_NOOP("Edit Msg. of channel %1"), QT_TR_NOOP("Edit the message of channel %1"));
    // Told apart on screen too: the boxes have no caption of their own.
    txtPhoneNo[i]->setToolTip(tr("Phone number of channel %1").arg(channel));
    cmdEditNo[i]->setToolTip(tr("Edit the phone number of channel %1").arg(channel));
    lblMessage[i]->setChannel(channel);
}

// The start-up sequence: runs before the window is first shown.
void frmMain::Form_Load()
{
    for (int i = 0; i < kChannelCount; ++i) {
        chkChEnable[i]->setText(tr("Channel %1").arg(i + 1));
        txtPhoneNo[i]->setText(QString());
        txtPhoneNo[i]->setEnabled(false);
        showAsReadable(txtPhoneNo[i], kPhoneNoLimit);
        lblMessage[i]->setMessage(QString());
        shrinkFontToFit(chkChEnable[i]);
        describeRow(i);
    }
    QStringList ports, slaveIds;
    for (int n = kFirstComPort; n <= kLastComPort; ++n)
        ports << tr("COM %1").arg(n);
    for (int n = kFirstSlaveId; n <= kLastSlaveId; ++n)
        slaveIds << QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
    cmbComm->addItems(ports);
    cmbComm->setCurrentIndex(0);
    cmbSlaveID->addItems(slaveIds);
    cmbSlaveID->setCurrentIndex(0);
    FrameFunction->setEnabled(false);
}
