#pragma once

#include "tools/modemsim/modem_state.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace modemsim {

// How many times faster than a 9600-baud line new simulators run theirs:
// bytes, processing delays and gaps all take that much less time. The test
// suite sets it together with the link's (SerialLink::setLineSpeedUp).
void setDefaultLineSpeedUp(int factor);
int defaultLineSpeedUp();

struct SimulatorOptions {
    int processingDelayMs = 10;   // after a whole frame has arrived
    bool paceAtLineRate = true;   // 9600 baud 8N1: about 1.04 ms a byte
    int lineSpeedUp = defaultLineSpeedUp();
};

// Plays the modem on the master side of a pseudo-terminal. The pty is served
// on a thread of its own, so the simulator answers whatever the caller's
// thread is doing. Every method is safe to call from any thread.
class ModemSimulator {
public:
    explicit ModemSimulator(const ModemState &initial = demoState(), const SimulatorOptions &options = {});
    ~ModemSimulator();  // stops serving, closes the master, removes the link
    ModemSimulator(const ModemSimulator &) = delete;
    ModemSimulator &operator=(const ModemSimulator &) = delete;

    bool start(QString *error = nullptr);
    QString slavePath() const;                 // /dev/pts/N once started
    bool createLink(const QString &linkPath, QString *error = nullptr);  // symlink to the slave, removed on stop
    void stop();

    ModemState state() const;
    void setState(const ModemState &state);

    // The complete frames received, byte for byte, in order; and the bytes
    // that were thrown away because they formed no valid frame. Each keeps
    // the latest only: 4096 frames, 64 KiB.
    QList<QByteArray> receivedFrames() const;
    QByteArray discardedBytes() const;
    void clearLog();
    int commandCount() const;                  // frames received since start
    bool waitForFrames(int count, int timeoutMs) const;  // until count frames came since clearLog()

    // Fault modes.
    void setSilent(bool silent);                       // answers nothing, still carries commands out
    void setProcessingDelayMs(int ms);                 // e.g. 250 for a late modem
    void setMemoryReadDelayMs(int ms);                 // "MR" answered this late; < 0: like the rest
    void setPaceAtLineRate(bool pace);
    void setAnswerMemoryReads(bool answer);            // false: "E2" answered, "MR" never
    void injectBeforeNextReply(const QByteArray &bytes);  // stray bytes in front of the next reply
    void sendUnsolicited(const QByteArray &bytes);     // stray bytes on the line now, unasked
    void garbleNextReplyFirstByte();                   // next reply's first byte is wrong
    // The n-th command from now (n >= 1) is answered as always but changes
    // nothing: a write lost to a brown-out or a full buffer.
    void forgetCommand(int n);
    // The reply to the n-th command from now is followed, gapMs after its
    // last byte, by `bytes` (empty: the same reply again). Commands that
    // come before those are out go unanswered, as to a modem busy sending.
    void trailReplyOfCommand(int n, const QByteArray &bytes, int gapMs);
    // Closes the master once the n-th command from now is in (carried out,
    // not answered); n <= 0 closes it at once. The tool's port sees a hang-up.
    void dropLineAfterCommand(int n);
    // Once the n-th command from now is in (and answered), the line takes no
    // more from the tool: its port keeps what it writes. n <= 0 stalls at once.
    void stallOutputAfterCommand(int n);
    bool lineDropped() const;

    // Sees every complete frame received (incoming) and every reply as it is
    // queued, on the serving thread, outside the simulator's lock. Set it before start().
    using TrafficObserver = std::function<void(bool incoming, const QByteArray &bytes)>;
    void setTrafficObserver(TrafficObserver observer);

private:
    class Worker;
    std::unique_ptr<Worker> worker_;
};

}  // namespace modemsim
