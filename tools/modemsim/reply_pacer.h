#pragma once

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <deque>
#include <optional>

namespace modemsim {

// Replies waiting to go out on the line. Each becomes ready after the
// processing delay; then, when paced, its bytes leave one every 1.0417 ms
// (9600 baud, 8N1: ten bits a byte). A reply queued while another is still
// going out follows it.
class ReplyPacer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::nanoseconds kByteTime{1'000'000'000LL * 10 / 9600};

    // Replies waiting beyond this many bytes are not queued but dropped, as
    // a busy modem drops them: a tool that sends without reading cannot make
    // the queue grow without end.
    static constexpr qsizetype kQueueLimit = 64 * 1024;

    void setPaced(bool paced) { paced_ = paced; }
    // A line this many times faster than 9600 baud.
    void setSpeedUp(int factor) { byteTime_ = kByteTime / std::max(1, factor); }
    bool enqueue(const QByteArray &bytes, Clock::time_point readyAt);  // false: dropped
    void clear()
    {
        queue_.clear();
        queuedBytes_ = 0;
    }
    // Goes out `gap` after the reply queued last has left the line.
    bool enqueueAfterLast(const QByteArray &bytes, Clock::duration gap);
    bool busy() const { return !queue_.empty(); }

    // The bytes of the front reply whose time has come and that are not yet
    // written; the caller reports with markWritten() how many it got out.
    QByteArray due(Clock::time_point now) const;
    void markWritten(qsizetype count);
    // When the next byte falls due; empty when nothing is queued.
    std::optional<Clock::time_point> nextDue() const;
    bool midReply() const { return !queue_.empty() && queue_.front().written > 0; }

private:
    struct Reply {
        QByteArray bytes;
        Clock::time_point readyAt;
        Clock::time_point start;  // first byte on the line
        qsizetype written = 0;
        Clock::duration gap{};  // of quiet line before it
    };
    bool push(Reply reply);
    void startFront();

    std::deque<Reply> queue_;
    Clock::time_point lineFree_{};  // when the line has finished the last reply
    qsizetype queuedBytes_ = 0;
    bool paced_ = true;
    std::chrono::nanoseconds byteTime_ = kByteTime;
};

}  // namespace modemsim
