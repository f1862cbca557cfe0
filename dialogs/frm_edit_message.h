#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class LimitedTextEdit;

// Edits one row's message of at most kMessageLimit characters, with a counter of what
// the box holds. It exchanges the message with the main window only through
// mdiMain::gMessage and gMessageAccepted, read each time it is shown; the
// owner creates one per opening and runs it with exec().
class frmEditMessage : public QDialog {
    Q_OBJECT
public:
    explicit frmEditMessage(QWidget *owner);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    void Form_Load();
    void cmdOK_Click();
    void refreshCounter();

    LimitedTextEdit *txtMsg;
    QLabel *lblChars;
    QPushButton *cmdCancel, *cmdOK;
};
