#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

// The small frameless window a device transfer shows while it runs: one line
// of text above a bar from 0 to 100. Created for each transfer and destroyed
// at its end.
class frmProgress : public QWidget {
    Q_OBJECT
public:
    explicit frmProgress(QWidget *owner);

    void setMessage(const QString &text);
    void setValue(int value);

    QLabel *lblMsg;
    QProgressBar *pbar;
};
