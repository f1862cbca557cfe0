#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

// The small frameless window a device transfer shows while it runs: one line
// of text above a bar from 0 to 100. Created for each transfer and destroyed
// at its end; until then it cannot be closed (Alt+F4 or the desktop would
// otherwise hide all progress while the transfer goes on).
class frmProgress : public QWidget {
    Q_OBJECT
public:
    explicit frmProgress(QWidget *owner);

    void setMessage(const QString &text);
    void setValue(int value);

    QLabel *lblMsg;
    QProgressBar *pbar;

protected:
    void closeEvent(QCloseEvent *event) override;
};
