#pragma once

#include <QByteArray>

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

    void setPaced(bool paced) { paced_ = paced; }
    void enqueue(const QByteArray &bytes, Clock::time_point readyAt);
    // Goes out `gap` after the reply queued last has left the line.
    void enqueueAfterLast(const QByteArray &bytes, Clock::duration gap);
    bool busy() const { return !queue_.empty(); }
    void clear() { queue_.clear(); }

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
    void startFront();

    std::deque<Reply> queue_;
    Clock::time_point lineFree_{};  // when the line has finished the last reply
    bool paced_ = true;
};

}  // namespace modemsim
