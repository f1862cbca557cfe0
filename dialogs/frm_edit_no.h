#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
struct PhoneNumberParts;

// Edits or deletes one row's phone number, split into an STD code box and a
// ten-character number box. It exchanges the number with the main window only
// through mdiMain::gPhoneNo and gPhoneNoAccepted, read each time it is shown;
// the owner creates one per opening and runs it with exec().
class frmEditNo : public QDialog {
    Q_OBJECT
public:
    explicit frmEditNo(QWidget *owner);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    void Form_Load();
    void cmdOK_Click();
    void cmdDelete_Click();
    PhoneNumberParts enteredParts() const;

    QLabel *Label1, *Label2, *Label3, *lblHint;
    QLineEdit *txtSTD, *txtNo;
    QPushButton *cmdCancel, *cmdOK, *cmdDelete;
};
