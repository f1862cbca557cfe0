#include "dialogs/frm_edit_message.h"

#include "ui/fonts.h"
#include "ui/twips.h"
#include "dialogs/dialog_controls.h"
#include "dialogs/hand_over.h"
#include "dialogs/limited_text_edit.h"
#include "dialogs/message_text.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace {
const QColor kDarkRed(192, 0, 0);
}  // namespace

frmEditMessage::frmEditMessage(QWidget *owner) : QDialog(owner)
{
    setObjectName("frmEditMessage");
    setUpFixedDialog(this, tr("Edit Message"), 8505, 3165);
    buildControls();

    connect(txtMsg, &QPlainTextEdit::textChanged, this, &frmEditMessage::refreshCounter);
    connect(cmdOK, &QPushButton::clicked, this, &frmEditMessage::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmEditMessage::reject);
}

void frmEditMessage::buildControls()
{
    txtMsg = new LimitedTextEdit(kMessageLimit, this);
    txtMsg->setObjectName("txtMsg");
    txtMsg->setGeometry(twipsRect(240, 240, 7935, 1695));
    txtMsg->setFont(arialRoundedFont(12));
    txtMsg->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtMsg->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    txtMsg->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A message from the modem or a file may hold more lines than the box shows.
    txtMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    txtMsg->setAccessibleName(tr("Message"));
    txtMsg->setTabChangesFocus(true);

    lblChars = addLabel(this, "lblChars", counterCaption(0), twipsRect(6600, 2040, 1575, 255),
                        sansSerifFont(8.25, true), Qt::AlignHCenter | Qt::AlignTop);
    setTextColour(lblChars, kDarkRed);

    // Neither button is a default one: Enter belongs to the text box.
    cmdCancel = addButton(this, "cmdCancel", tr("&Cancel"), twipsRect(1200, 2400, 1455, 495));
    cmdOK = addButton(this, "cmdOK", tr("&OK"), twipsRect(5400, 2400, 1455, 495));

    setTabOrder(txtMsg, cmdCancel);
    setTabOrder(cmdCancel, cmdOK);
}

// Loading on show rather than on construction: the hand-over value is read
// however the owner orders creating the dialog and storing the message.
void frmEditMessage::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        Form_Load();
}

// Esc would reject the dialog; here it does nothing, so that a stray key
// never throws away an edited message.
void frmEditMessage::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    if (!pressFocusedButton(this, event))
        QDialog::keyPressEvent(event);
}

void frmEditMessage::Form_Load()
{
    mdiMain::gMessageAccepted = false;
    txtMsg->loadText(mdiMain::gMessage);
    refreshCounter();
    txtMsg->setFocus(Qt::OtherFocusReason);
}

void frmEditMessage::refreshCounter()
{
    lblChars->setText(counterCaption(static_cast<int>(txtMsg->storedText().size())));
}

void frmEditMessage::cmdOK_Click()
{
    mdiMain::gMessage = txtMsg->storedText();
    mdiMain::gMessageAccepted = true;
    accept();
}
