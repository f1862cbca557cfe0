#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

// Disables the controls that could start a second run while a transfer
// waits on the line, and gives each its own enabled flag back when the
// transfer ends, whichever way it ends.
class BusyGuard {
public:
    explicit BusyGuard(const QList<QWidget *> &controls)
    {
        for (QWidget *control : controls) {
            saved_.append({control, !control->testAttribute(Qt::WA_ForceDisabled)});
            control->setEnabled(false);
        }
    }
    ~BusyGuard()
    {
        for (const auto &[control, wasEnabled] : saved_)
            if (control)
                control->setEnabled(wasEnabled);
    }
    BusyGuard(const BusyGuard &) = delete;
    BusyGuard &operator=(const BusyGuard &) = delete;

private:
    QList<std::pair<QPointer<QWidget>, bool>> saved_;
};
