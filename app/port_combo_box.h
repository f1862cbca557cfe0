#pragma once

#include "link/com_port.h"

#include <QComboBox>

// The COM port list. Entries keep their captions; those whose device is
// present carry a mark, and each entry's tooltip says what it stands for.
// Typing an entry's caption chooses it; a network port (tcp://HOST:PORT,
// rfc2217://HOST:PORT) stays as typed; any other text (a stray letter)
// leaves the chosen entry, whose caption comes back when the focus leaves.
// The list asks for fresh marks each time it opens, so an adapter plugged
// in while the program runs shows up. It asks first just after it is first
// painted: looking the devices up takes tens of milliseconds, which the
// window's first appearance does not wait for.
class PortComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit PortComboBox(QWidget *parent);

    void showPresentPorts(const QList<PresentComPort> &present);
    void showPopup() override;
    // Puts the chosen entry's caption back over text that chose nothing.
    void showChosenEntry();

signals:
    void marksWanted();

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool painted_ = false;
};
