// The send-and-wait transaction: the reply window, a reply still arriving
// when it ends, a wait that ends on the whole reply, and the quiet line that
// every command needs before it goes out.
#include "link/serial_link.h"

#include "link/net_line.h"

#include <QEventLoop>

#include <algorithm>
#include <cmath>

#ifndef Q_OS_WIN
#include <sys/ioctl.h>
#endif

namespace {

// 9600 baud, 8N1: ten bits a byte.
constexpr double kByteTimeMs = 10.0 * 1000.0 / 9600.0;

int lineSpeedUp_ = 1;

}  // namespace

void SerialLink::setLineSpeedUp(int factor) { lineSpeedUp_ = std::max(1, factor); }

int SerialLink::lineSpeedUp() { return lineSpeedUp_; }

Exchange SerialLink::transact(const QByteArray &frame, std::optional<protocol::ReplyShape> expected)
{
    commandFrame_ = frame;
    Exchange exchange;
    awaited_ = expected;
    const bool ran = runTransaction(exchange);
    awaited_.reset();
    if (!ran)
        return exchange;
    exchange.reply = replyData_;
    if (expected && !protocol::fits(exchange.reply, *expected))
        settleLine();
    return exchange;
}

bool SerialLink::runTransaction(Exchange &exchange)
{
    if (!line_->isOpen() || waitLoop_)
        return false;
    // Bytes waiting now came after the previous reply was taken: a reply that
    // came late or twice, or noise. Never part of this reply; the caller
    // learns of them, since the previous reply may not have been the answer.
    drainOperatingSystemBuffer();
    const QByteArray stray = line_->readAll();
    exchange.lineChecked = true;
    exchange.strayBefore = stray;
    if (!stray.isEmpty() && !settleLine())
        return false;
    unsentAtLoss_ = commandFrame_.size();  // until a loss counts what was left
    line_->write(commandFrame_);
    windowClock_.start();
    // A window the round trip has widened may last far longer than a stop may
    // wait; a frame handed to the network is beyond recall anyway, so a stop
    // ends the wait once it is out (pollStopCheck).
    if (net_)
        stopPoll_.start();
    bool completed = waitFor(replyWindowMs(), endOnWholeReply_);
    endedEarly_ = wholeReplyIn_;
    if (completed && !wholeReplyIn_ && replyStillArriving())
        completed = waitFor(restOfReplyMs(), true);
    stopPoll_.stop();
    // A frame not wholly out when its window ends never reached the modem;
    // its rest must not trail into the next command.
    const bool allSent = line_->isOpen() ? bytesNotSent() == 0 : unsentAtLoss_ == 0;
    exchange.sent = allSent;
    if (!completed)
        return false;
    if (!allSent)
        discardUnsent();
    drainOperatingSystemBuffer();
    replyData_ = line_->readAll();
    return true;
}

// Sleeps in an event loop until tmrTout ticks after `ms`, or, when asked,
// until the awaited reply is in whole: the window repaints and the port
// delivers its bytes, and no CPU is spent polling. False when the wait was
// cut short or the port closed meanwhile.
bool SerialLink::waitFor(int ms, bool endOnWholeReply)
{
    timedOut_ = false;
    wholeReplyIn_ = false;
    waitEndsOnWholeReply_ = endOnWholeReply && awaited_;
    tmrTout.start(ms);
    QEventLoop wait;
    waitLoop_ = &wait;
    checkWholeReply();  // it may be in already
    while (!timedOut_ && !wholeReplyIn_ && waitLoop_)
        wait.exec();
    const bool completed = waitLoop_ != nullptr;
    waitLoop_ = nullptr;
    waitEndsOnWholeReply_ = false;
    tmrTout.stop();
    tmrTout.setInterval(replyWindowMs());
    quietAfterReply_.stop();
    return completed && line_->isOpen();
}

// The window ended in the middle of the awaited reply: its first byte is
// right and bytes are missing.
bool SerialLink::replyStillArriving()
{
    drainOperatingSystemBuffer();
    return awaited_ && line_->bytesAvailable() > 0 && line_->bytesAvailable() < awaited_->length
           && line_->peek(1).at(0) == awaited_->first;
}

// The line time of the missing bytes, and a margin.
int SerialLink::restOfReplyMs()
{
    const qint64 missing = awaited_->length - line_->bytesAvailable();
    return int(std::ceil(double(missing) * kByteTimeMs / lineSpeedUp())) + kLateReplyMarginMs;
}

bool SerialLink::quietAfterLastReply()
{
    if (!line_->isOpen() || waitLoop_)
        return false;
    const qint64 left = replyWindowMs() - windowClock_.elapsed();
    if (endedEarly_ && left > 0 && !waitFor(int(left), false))
        return false;
    endedEarly_ = false;
    drainOperatingSystemBuffer();
    if (line_->readAll().isEmpty())
        return true;
    settleLine();
    return false;
}

// Waits until the line has been quiet for a whole window; false when it was
// given up, lost, or a stop was asked for meanwhile.
bool SerialLink::settleLine()
{
    QElapsedTimer clock;
    clock.start();
    stopPoll_.start();
    bool quiet = false, cutShort = false;
    while (!quiet && !cutShort && clock.elapsed() < kSettleLimitMs) {
        cutShort = (stopCheck_ && stopCheck_()) || !waitFor(replyWindowMs(), false);
        drainOperatingSystemBuffer();
        quiet = !cutShort && line_->readAll().isEmpty();
    }
    stopPoll_.stop();
    if (quiet || cutShort)
        return quiet;
    giveUpLine(tr("The line on %1 did not go quiet: the device kept sending for %2 seconds after a reply that was "
                  "not the one asked for. The port was closed; check the baud rate and the cable, then Connect again.")
                   .arg(portLabel_)
                   .arg(kSettleLimitMs / 1000));
    return false;
}

void SerialLink::pollStopCheck()
{
    // A frame still on its way out is let go first: the stop comes after it.
    if (stopCheck_ && stopCheck_() && (!net_ || bytesNotSent() == 0))
        abortWait();
}

// Bytes of the frame still in the port or in the system's output queue.
qint64 SerialLink::bytesNotSent() const
{
    if (net_)
        return net_->bytesToWrite();
    qint64 pending = cm.bytesToWrite();
#ifndef Q_OS_WIN
    int queued = 0;
    if (::ioctl(int(cm.handle()), TIOCOUTQ, &queued) == 0)
        pending += queued;
#endif
    return pending;
}

void SerialLink::abortWait()
{
    if (waitLoop_) {
        waitLoop_->quit();
        waitLoop_ = nullptr;
    }
}

void SerialLink::tmrTout_Tick()
{
    timedOut_ = true;
    tmrTout.stop();
    if (waitLoop_)
        waitLoop_->quit();
}

// The bytes received so far are exactly the awaited reply. One byte more
// and they no longer fit, so the prefix of a longer answer is never taken.
bool SerialLink::holdsWholeReply()
{
    return waitEndsOnWholeReply_ && waitLoop_ && protocol::fits(line_->peek(awaited_->length + 1), *awaited_);
}

void SerialLink::checkWholeReply()
{
    if (!holdsWholeReply())
        quietAfterReply_.stop();
    else if (!quietAfterReply_.isActive())
        quietAfterReply_.start();
}

void SerialLink::endOnQuietLine()
{
    drainOperatingSystemBuffer();
    if (!holdsWholeReply())
        return;
    wholeReplyIn_ = true;
    waitLoop_->quit();
}

// Bytes that reached the operating system but not yet QSerialPort's buffer
// belong to this reply too.
void SerialLink::drainOperatingSystemBuffer()
{
    while (line_->isOpen() && line_->bytesAvailable() < kReadBufferSize && line_->waitForReadyRead(0)) {
    }
}
