#pragma once

#include "link/serial_link.h"
#include "transfer/transfer_host.h"

class ProgressBar;

// The command line's side of a transfer: the serial link, the stop signals
// and the progress bar on standard error.
class SerialHost : public TransferHost {
public:
    SerialHost();

    // `port` as typed: a COM number or a device path. On failure *error names
    // the port and the reason.
    bool open(const QString &port, QString *error);
    void close();
    QString label() const { return link_.label(); }
    SerialLink &link() { return link_; }

    void setProgressBar(ProgressBar *bar) { bar_ = bar; }

    Exchange transact(const QByteArray &frame, std::optional<protocol::ReplyShape> expected) override;
    bool stopRequested() const override;
    void setProgress(int value) override;

private:
    SerialLink link_;
    ProgressBar *bar_ = nullptr;
};
