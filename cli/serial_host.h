#pragma once

#include "cli/unit_target.h"
#include "link/serial_link.h"
#include "transfer/transfer_host.h"

#include <functional>

// The command line's side of a transfer: the serial link, the stop signals
// and where the progress goes. Lives on the thread that runs its unit.
class SerialHost : public TransferHost {
public:
    SerialHost();

    // On failure *error names the port and the reason.
    bool open(const UnitPort &port, QString *error);
    void close();
    QString label() const { return link_.label(); }
    SerialLink &link() { return link_; }

    // The device the port stands for; empty while it is not open.
    QString device() const;
    void setProgressSink(std::function<void(int)> sink) { progress_ = std::move(sink); }

    Exchange transact(const QByteArray &frame, std::optional<protocol::ReplyShape> expected) override;
    bool quietAfterLastReply() override;
    bool stopRequested() const override;
    void setProgress(int value) override;
    bool overNetwork() const override { return link_.isNetwork(); }

private:
    SerialLink link_;
    std::function<void(int)> progress_;
    QString device_;
};
