#include "dialogs/frm_edit_no.h"

#include "ui/fonts.h"
#include "ui/twips.h"
#include "ui/typing_limit.h"
#include "dialogs/dialog_controls.h"
#include "dialogs/hand_over.h"
#include "dialogs/phone_number.h"
#include "model/modem_limits.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>

namespace {
// The two boxes together make the longest phone number.
constexpr int kStdTypingLimit = kPhoneNoLimit - kSubscriberNumberLength;
const QColor kDarkBlue(0, 0, 192);

QLineEdit *addNumberBox(QWidget *parent, const char *name, const QRect &geometry, int typingLimit)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    box->setFont(arialRoundedFont(12));
    box->setValidator(new TypingLimit(typingLimit, box));
    return box;
}
}  // namespace

frmEditNo::frmEditNo(QWidget *owner) : QDialog(owner)
{
    setObjectName("frmEditNo");
    setUpFixedDialog(this, tr("Edit Phone Number"), 5745, 2175);
    buildControls();

    connect(cmdOK, &QPushButton::clicked, this, &frmEditNo::cmdOK_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmEditNo::cmdDelete_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmEditNo::reject);
}

void frmEditNo::buildControls()
{
    const QFont heading = sansSerifFont(9.75, true);
    Label1 = addLabel(this, "Label1", tr("Phone No."), twipsRect(360, 600, 1455, 375), arialRoundedFont(12),
                      Qt::AlignLeft | Qt::AlignTop);
    setTextColour(Label1, kDarkBlue);
    Label2 = addLabel(this, "Label2", tr("&STD Code"), twipsRect(2040, 240, 1335, 255), heading,
                      Qt::AlignHCenter | Qt::AlignTop);
    txtSTD = addNumberBox(this, "txtSTD", twipsRect(2040, 600, 1335, 375), kStdTypingLimit);
    txtNo = addNumberBox(this, "txtNo", twipsRect(3480, 600, 1935, 375), kSubscriberNumberLength);
    Label3 = addLabel(this, "Label3", tr("Phone &Number"), twipsRect(3480, 240, 1935, 255), heading,
                      Qt::AlignHCenter | Qt::AlignTop);
    Label2->setBuddy(txtSTD);
    Label3->setBuddy(txtNo);
    // What OK takes, said before the operator meets "Phone Number error!".
    lblHint = addLabel(this, "lblHint", tr("STD code: +91; number: ten digits"), twipsRect(2040, 1080, 3375, 255),
                       sansSerifFont(8.25));
    cmdCancel = addButton(this, "cmdCancel", tr("&Cancel"), twipsRect(240, 1560, 1335, 375));
    cmdOK = addButton(this, "cmdOK", tr("&OK"), twipsRect(4080, 1560, 1335, 375));
    cmdDelete = addButton(this, "cmdDelete", tr("&Delete"), twipsRect(2160, 1560, 1335, 375));

    // Enter in either box presses OK; Esc and the close box reject, as Cancel does.
    cmdOK->setDefault(true);
    setTabOrder(txtSTD, txtNo);
    setTabOrder(txtNo, cmdCancel);
    setTabOrder(cmdCancel, cmdOK);
    setTabOrder(cmdOK, cmdDelete);
}

// Loading on show rather than on construction: the hand-over value is read
// however the owner orders creating the dialog and storing the number.
void frmEditNo::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        Form_Load();
}

void frmEditNo::keyPressEvent(QKeyEvent *event)
{
    if (!pressFocusedButton(this, event))
        QDialog::keyPressEvent(event);
}

void frmEditNo::Form_Load()
{
    mdiMain::gPhoneNoAccepted = false;
    const PhoneNumberParts parts = splitPhoneNumber(mdiMain::gPhoneNo);
    TypingLimit::setText(txtSTD, parts.stdCode);
    TypingLimit::setText(txtNo, parts.number);
    txtSTD->setFocus(Qt::OtherFocusReason);
}

PhoneNumberParts frmEditNo::enteredParts() const { return {txtSTD->text(), txtNo->text()}; }

void frmEditNo::cmdOK_Click()
{
    const PhoneNumberParts parts = enteredParts();
    if (!isValidPhoneNumber(parts)) {
        QMessageBox box(QMessageBox::Critical, tr("Error"), tr("Phone Number error!"), QMessageBox::Ok, this);
        keepLeftToRight(&box);
        box.exec();
        return;
    }
    mdiMain::gPhoneNo = joinPhoneNumber(parts);
    mdiMain::gPhoneNoAccepted = true;
    accept();
}

// Accepted, like a valid OK: the owner is to store the empty number.
void frmEditNo::cmdDelete_Click()
{
    mdiMain::gPhoneNo.clear();
    mdiMain::gPhoneNoAccepted = true;
    accept();
}
