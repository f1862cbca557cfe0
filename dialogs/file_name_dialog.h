#pragma once

#include <QFileDialog>

// The load and save dialog. Qt's own dialog reads double quotes in the typed
// name as a list of names (`it's "q" name.txt` would become `q.txt`); here a
// name holding one is refused with a message and the dialog stays open, so a
// file is only ever written or read under the name the operator typed.
class FileNameDialog : public QFileDialog {
    Q_OBJECT
public:
    FileNameDialog(QWidget *parent, const QString &caption);

protected:
    void accept() override;
};
