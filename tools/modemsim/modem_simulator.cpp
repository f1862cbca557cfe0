#include "tools/modemsim/modem_simulator.h"

#include "tools/modemsim/frame_protocol.h"
#include "tools/modemsim/pseudo_terminal.h"
#include "tools/modemsim/reply_pacer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace modemsim {

namespace {

using Clock = ReplyPacer::Clock;
using std::chrono::milliseconds;

int defaultSpeedUp_ = 1;

// A frame that gets no further byte for this long is given up, so a
// truncated frame cannot swallow the commands that follow it.
constexpr milliseconds kStaleFrame{100};
// While a paced reply goes out, bytes are released in batches this far apart.
constexpr milliseconds kPaceTick{2};
// The logs keep the latest frames and discarded bytes, up to these sizes; a
// tool that floods the line cannot make them grow without end.
constexpr qsizetype kFrameLogLimit = 4096;
constexpr qsizetype kDiscardLogLimit = 64 * 1024;

// Keeps the last `limit` entries of a log. Qt 6 takes entries off the front
// without moving the rest, so a flood costs no copy per entry.
template <typename Log>
void bound(Log &log, qsizetype limit)
{
    if (log.size() > limit)
        log.remove(0, log.size() - limit);
}

// Runs f on the worker with its mutex held.
template <typename W, typename F>
auto locked(W &worker, F f)
{
    std::lock_guard lock(worker.mutex);
    return f(worker);
}

// Sets one of the worker's command countdowns; one that is 0 already rouses
// the serving thread to act on it at once.
template <typename W>
void startCountdown(W &worker, int W::*countdown, int n)
{
    std::lock_guard life(worker.lifecycle);
    locked(worker, [&](W &w) { w.*countdown = std::max(0, n); });
    if (n <= 0 && worker.thread.joinable())
        worker.wake();
}

}  // namespace

class ModemSimulator::Worker {
public:
    Worker(const ModemState &initial, const SimulatorOptions &opts) : state(initial), options(opts)
    {
        state.memory.resize(kMemorySize, '\0');
    }

    void serve();
    // Rouses the serving thread from its poll; call with lifecycle held.
    void wake() const
    {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeWrite, &byte, 1);
    }

    // Guarded by mutex: shared between the callers and the serving thread.
    mutable std::mutex mutex;
    mutable std::condition_variable framesArrived;
    ModemState state;
    SimulatorOptions options;
    bool silent = false;
    bool answerReads = true;
    bool garbleNext = false;
    QByteArray stray;
    QByteArray unsolicited;  // to go out now, whatever was asked
    int memoryReadDelayMs = -1;  // "MR" replies; < 0: options.processingDelayMs
    // A delay on a 9600-baud line, on this simulator's line.
    Clock::duration lineTime(int ms) const
    {
        return std::chrono::duration_cast<Clock::duration>(milliseconds(ms)) / std::max(1, options.lineSpeedUp);
    }
    int dropCountdown = -1;  // commands until the line drops; 0: drop now; -1: never
    int stallCountdown = -1;  // commands until the tool's output stalls; 0: stall now; -1: never
    int forgetCountdown = -1;  // commands until the one carried out on a copy; -1: never
    int trailCountdown = -1;  // commands until the one whose reply gets a trail; -1: none
    QByteArray trail;
    int trailGap = 0;  // ms
    bool trailing = false;  // a trail is queued: commands go unanswered until the line is free
    bool dropped = false;
    bool stopping = false;
    QList<QByteArray> frames;  // the latest, see bound()
    QByteArray discarded;
    int logged = 0;  // frames since the log was cleared
    int commands = 0;
    QString slavePath;

    // Guarded by lifecycle: start(), stop() and what must not overlap them.
    // The serving thread alone uses pty and observer while it runs.
    std::mutex lifecycle;
    PseudoTerminal pty;
    std::thread thread;
    int wakeRead = -1;
    int wakeWrite = -1;
    QStringList links;
    TrafficObserver observer;

private:
    struct Traffic {
        bool incoming;
        QByteArray bytes;
    };
    // What the serving thread carries from one turn of its loop to the next.
    struct Line {
        QByteArray rx;  // bytes received that are no frame yet
        Clock::time_point lastRx;
        ReplyPacer pacer;
        bool outputFull = false;  // the pty buffer took no more; wait for POLLOUT
    };
    // The following run on the serving thread.
    bool beginTurn(ReplyPacer &pacer);
    void writeDue(Line &line, Clock::time_point now);
    bool waitForLine(const Line &line, Clock::time_point now, short *events);
    void readAvailable(Line &line, Clock::time_point now);
    void takeAndReport(Line &line, Clock::time_point now);
    // With mutex held.
    void takeFrames(Line &line, bool stale, std::vector<Traffic> &traffic);
    void answer(const QByteArray &frame, Clock::time_point arrived, ReplyPacer &pacer,
                std::vector<Traffic> &traffic);
};

void ModemSimulator::Worker::answer(const QByteArray &frame, Clock::time_point arrived, ReplyPacer &pacer,
                                    std::vector<Traffic> &traffic)
{
    trailing = trailing && pacer.busy();
    if (trailing) {
        discarded += frame;
        bound(discarded, kDiscardLogLimit);
        return;
    }
    frames.append(frame);
    bound(frames, kFrameLogLimit);
    ++logged;
    ++commands;
    framesArrived.notify_all();
    traffic.push_back({true, frame});
    std::optional<ModemState> scratch;
    if (forgetCountdown > 0 && --forgetCountdown == 0)
        scratch = state;
    QByteArray reply = executeFrame(frame, scratch ? *scratch : state);
    if (stallCountdown > 0)
        --stallCountdown;
    if (dropCountdown > 0 && --dropCountdown == 0)
        return;  // the line goes before the answer does
    if (silent || (!answerReads && isMemoryRead(frame)))
        return;
    if (garbleNext) {
        reply[0] = char(reply[0] ^ 0x20);  // 'E' becomes 'e'
        garbleNext = false;
    }
    reply.prepend(std::exchange(stray, {}));
    const bool late = memoryReadDelayMs >= 0 && isMemoryRead(frame);
    if (pacer.enqueue(reply, arrived + lineTime(late ? memoryReadDelayMs : options.processingDelayMs)))
        traffic.push_back({false, reply});
    if (trailCountdown > 0 && --trailCountdown == 0) {
        pacer.enqueueAfterLast(trail.isEmpty() ? reply : trail, lineTime(trailGap));
        trailing = true;
    }
}

void ModemSimulator::Worker::takeFrames(Line &line, bool stale, std::vector<Traffic> &traffic)
{
    QByteArray &rx = line.rx;
    while (!rx.isEmpty() && dropCountdown != 0) {
        const FrameCheck check = checkFrame(rx);
        if (check.status == FrameStatus::Complete) {
            answer(rx.left(check.length), line.lastRx, line.pacer, traffic);
            rx.remove(0, check.length);
        } else if (check.status == FrameStatus::Invalid || stale) {
            // Drop one byte and look for a frame start in what follows.
            discarded += rx[0];
            bound(discarded, kDiscardLogLimit);
            rx.remove(0, 1);
        } else {
            break;
        }
    }
}

void ModemSimulator::Worker::serve()
{
    Line line;
    while (beginTurn(line.pacer)) {
        const Clock::time_point now = Clock::now();
        writeDue(line, now);
        short events = 0;
        if (!waitForLine(line, now, &events))
            return;
        if (events & POLLOUT)
            line.outputFull = false;
        const Clock::time_point woke = Clock::now();
        if (events & POLLIN)
            readAvailable(line, woke);
        if (events & (POLLERR | POLLHUP | POLLNVAL)) {
            // Our own slave fd should keep this from happening; never spin on it.
            locked(*this, [](Worker &w) { w.dropped = true; });
            return;
        }
        takeAndReport(line, woke);
    }
}

// Takes in what the callers asked for since the last turn; false once the
// thread is to end (stopping, or the line is to drop now).
bool ModemSimulator::Worker::beginTurn(ReplyPacer &pacer)
{
    std::lock_guard lock(mutex);
    if (stopping)
        return false;
    if (dropCountdown == 0) {
        pty.close();
        dropped = true;
        return false;
    }
    pacer.setPaced(options.paceAtLineRate);
    pacer.setSpeedUp(options.lineSpeedUp);
    if (!unsolicited.isEmpty())
        pacer.enqueue(std::exchange(unsolicited, {}), Clock::now());
    return true;
}

// Writes the reply bytes whose time has come, as many as the pty takes.
void ModemSimulator::Worker::writeDue(Line &line, Clock::time_point now)
{
    while (!line.outputFull) {
        const QByteArray bytes = line.pacer.due(now);
        if (bytes.isEmpty())
            break;
        const ssize_t n = ::write(pty.master(), bytes.constData(), size_t(bytes.size()));
        if (n < 0 && errno != EAGAIN)
            line.pacer.clear();  // cannot happen while our own slave fd keeps the line up
        if (n > 0)
            line.pacer.markWritten(n);
        line.outputFull = n < bytes.size();
    }
}

// Sleeps until the tool sends, the pty takes more, a reply byte falls due,
// a half frame goes stale or a caller wakes the thread. False when the wait failed.
bool ModemSimulator::Worker::waitForLine(const Line &line, Clock::time_point now, short *events)
{
    std::optional<Clock::time_point> wakeAt = line.outputFull ? std::nullopt : line.pacer.nextDue();
    if (wakeAt && line.pacer.midReply())
        wakeAt = std::max(*wakeAt, now + kPaceTick);
    if (!line.rx.isEmpty())
        wakeAt = std::min(wakeAt.value_or(Clock::time_point::max()), line.lastRx + kStaleFrame);
    timespec timeout{};
    if (wakeAt) {
        const auto wait = std::max(std::chrono::nanoseconds(0), *wakeAt - now);
        timeout.tv_sec = time_t(wait.count() / 1'000'000'000);
        timeout.tv_nsec = long(wait.count() % 1'000'000'000);
    }
    pollfd fds[2] = {{pty.master(), short(POLLIN | (line.outputFull ? POLLOUT : 0)), 0}, {wakeRead, POLLIN, 0}};
    if (ppoll(fds, 2, wakeAt ? &timeout : nullptr, nullptr) < 0 && errno != EINTR)
        return false;
    if (fds[1].revents & POLLIN) {
        char drain[64];
        while (::read(wakeRead, drain, sizeof drain) > 0) {
        }
    }
    *events = fds[0].revents;
    return true;
}

void ModemSimulator::Worker::readAvailable(Line &line, Clock::time_point now)
{
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pty.master(), buffer, sizeof buffer)) > 0)
        line.rx.append(buffer, n);
    line.lastRx = now;
}

// Answers the frames that are complete, then shows the traffic to the
// observer outside the lock.
void ModemSimulator::Worker::takeAndReport(Line &line, Clock::time_point now)
{
    std::vector<Traffic> traffic;
    {
        std::lock_guard lock(mutex);
        takeFrames(line, now - line.lastRx >= kStaleFrame, traffic);
        if (stallCountdown == 0) {
            pty.stopSlaveOutput(true);
            stallCountdown = -1;
        }
    }
    if (observer)
        for (const Traffic &t : traffic)
            observer(t.incoming, t.bytes);
}

void setDefaultLineSpeedUp(int factor) { defaultSpeedUp_ = std::max(1, factor); }

int defaultLineSpeedUp() { return defaultSpeedUp_; }

ModemSimulator::ModemSimulator(const ModemState &initial, const SimulatorOptions &options)
    : worker_(std::make_unique<Worker>(initial, options))
{
}

ModemSimulator::~ModemSimulator() { stop(); }

bool ModemSimulator::start(QString *error)
{
    Worker &w = *worker_;
    std::lock_guard life(w.lifecycle);
    if (w.thread.joinable()) {
        if (error)
            *error = QStringLiteral("the simulator is already running");
        return false;
    }
    int wake[2];
    if (pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        if (error)
            *error = QStringLiteral("pipe: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (!w.pty.open(error)) {
        ::close(wake[0]);
        ::close(wake[1]);
        return false;
    }
    w.wakeRead = wake[0];
    w.wakeWrite = wake[1];
    {
        std::lock_guard lock(w.mutex);
        w.stopping = w.dropped = false;
        w.dropCountdown = w.stallCountdown = -1;
        w.commands = 0;
        w.slavePath = w.pty.slavePath();
    }
    w.thread = std::thread([&w] { w.serve(); });
    return true;
}

void ModemSimulator::stop()
{
    Worker &w = *worker_;
    std::lock_guard life(w.lifecycle);
    if (!w.thread.joinable())
        return;
    {
        std::lock_guard lock(w.mutex);
        w.stopping = true;
    }
    w.wake();
    w.thread.join();
    w.pty.close();
    ::close(w.wakeRead);
    ::close(w.wakeWrite);
    w.wakeRead = w.wakeWrite = -1;
    for (const QString &link : std::exchange(w.links, {}))
        if (QFileInfo(link).isSymLink())
            QFile::remove(link);
}

QString ModemSimulator::slavePath() const { return locked(*worker_, [](auto &w) { return w.slavePath; }); }

bool ModemSimulator::createLink(const QString &linkPath, QString *error)
{
    std::lock_guard life(worker_->lifecycle);
    const QString target = slavePath();
    auto failed = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!worker_->thread.joinable())
        return failed(QStringLiteral("start the simulator before linking to it"));
    const QFileInfo link(linkPath);
    if (!QDir().mkpath(link.absolutePath()))
        return failed(QStringLiteral("cannot create %1").arg(link.absolutePath()));
    if (link.isSymLink())
        QFile::remove(linkPath);
    else if (link.exists())
        return failed(QStringLiteral("%1 exists and is no symbolic link").arg(linkPath));
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(linkPath).constData()) != 0)
        return failed(QStringLiteral("symlink %1: %2").arg(linkPath, QString::fromLocal8Bit(std::strerror(errno))));
    worker_->links.append(linkPath);
    return true;
}

ModemState ModemSimulator::state() const { return locked(*worker_, [](auto &w) { return w.state; }); }

void ModemSimulator::setState(const ModemState &state)
{
    locked(*worker_, [&](auto &w) {
        w.state = state;
        w.state.memory.resize(kMemorySize, '\0');
    });
}

QList<QByteArray> ModemSimulator::receivedFrames() const
{
    return locked(*worker_, [](auto &w) { return w.frames; });
}

QByteArray ModemSimulator::discardedBytes() const { return locked(*worker_, [](auto &w) { return w.discarded; }); }

void ModemSimulator::clearLog()
{
    locked(*worker_, [](auto &w) {
        w.frames.clear();
        w.discarded.clear();
        w.logged = 0;
    });
}

int ModemSimulator::commandCount() const { return locked(*worker_, [](auto &w) { return w.commands; }); }

bool ModemSimulator::waitForFrames(int count, int timeoutMs) const
{
    std::unique_lock lock(worker_->mutex);
    return worker_->framesArrived.wait_for(lock, milliseconds(timeoutMs),
                                           [&] { return worker_->logged >= count; });
}

void ModemSimulator::setSilent(bool silent) { locked(*worker_, [&](auto &w) { w.silent = silent; }); }

void ModemSimulator::setProcessingDelayMs(int ms)
{
    locked(*worker_, [&](auto &w) { w.options.processingDelayMs = std::max(0, ms); });
}

void ModemSimulator::setPaceAtLineRate(bool pace)
{
    locked(*worker_, [&](auto &w) { w.options.paceAtLineRate = pace; });
}

void ModemSimulator::setAnswerMemoryReads(bool answer) { locked(*worker_, [&](auto &w) { w.answerReads = answer; }); }
void ModemSimulator::forgetCommand(int n) { locked(*worker_, [&](auto &w) { w.forgetCountdown = n; }); }

void ModemSimulator::injectBeforeNextReply(const QByteArray &bytes)
{
    locked(*worker_, [&](auto &w) { w.stray += bytes; });
}

void ModemSimulator::sendUnsolicited(const QByteArray &bytes)
{
    Worker &w = *worker_;
    std::lock_guard life(w.lifecycle);
    locked(w, [&](auto &worker) { worker.unsolicited += bytes; });
    if (w.thread.joinable())
        w.wake();
}

void ModemSimulator::garbleNextReplyFirstByte() { locked(*worker_, [](auto &w) { w.garbleNext = true; }); }

void ModemSimulator::dropLineAfterCommand(int n) { startCountdown(*worker_, &Worker::dropCountdown, n); }

void ModemSimulator::stallOutputAfterCommand(int n) { startCountdown(*worker_, &Worker::stallCountdown, n); }

void ModemSimulator::trailReplyOfCommand(int n, const QByteArray &bytes, int gapMs)
{
    locked(*worker_, [&](auto &w) {
        w.trailCountdown = n;
        w.trail = bytes;
        w.trailGap = gapMs;
    });
}

void ModemSimulator::setMemoryReadDelayMs(int ms) { locked(*worker_, [&](auto &w) { w.memoryReadDelayMs = ms; }); }

bool ModemSimulator::lineDropped() const { return locked(*worker_, [](auto &w) { return w.dropped; }); }

void ModemSimulator::setTrafficObserver(TrafficObserver observer)
{
    std::lock_guard life(worker_->lifecycle);
    if (!worker_->thread.joinable())
        worker_->observer = std::move(observer);
}

}  // namespace modemsim
