#include "tools/modemsim/reply_pacer.h"

#include <algorithm>

namespace modemsim {

namespace {

// When byte `index` of a paced reply that starts at `start` leaves.
ReplyPacer::Clock::time_point byteTimeAfter(ReplyPacer::Clock::time_point start, qsizetype index,
                                            std::chrono::nanoseconds byteTime)
{
    return start + std::chrono::duration_cast<ReplyPacer::Clock::duration>(index * byteTime);
}

}  // namespace

bool ReplyPacer::enqueue(const QByteArray &bytes, Clock::time_point readyAt)
{
    return push({bytes, readyAt, {}, 0, {}});
}

bool ReplyPacer::enqueueAfterLast(const QByteArray &bytes, Clock::duration gap)
{
    return push({bytes, Clock::time_point::min(), {}, 0, gap});
}

bool ReplyPacer::push(Reply reply)
{
    if (reply.bytes.isEmpty() || queuedBytes_ + reply.bytes.size() > kQueueLimit)
        return reply.bytes.isEmpty();
    queuedBytes_ += reply.bytes.size();
    queue_.push_back(std::move(reply));
    if (queue_.size() == 1)
        startFront();
    return true;
}

void ReplyPacer::startFront()
{
    if (!queue_.empty())
        queue_.front().start = std::max(queue_.front().readyAt, lineFree_ + queue_.front().gap);
}

QByteArray ReplyPacer::due(Clock::time_point now) const
{
    if (queue_.empty() || now < queue_.front().start)
        return {};
    const Reply &reply = queue_.front();
    qsizetype end = reply.bytes.size();
    if (paced_)
        end = std::min<qsizetype>(end, (now - reply.start) / byteTime_ + 1);
    return reply.bytes.mid(reply.written, end - reply.written);
}

void ReplyPacer::markWritten(qsizetype count)
{
    if (queue_.empty())
        return;
    Reply &reply = queue_.front();
    reply.written += count;
    if (reply.written < reply.bytes.size())
        return;
    // Unpaced, the line is free as soon as the reply was written.
    lineFree_ = paced_ ? byteTimeAfter(reply.start, reply.bytes.size(), byteTime_) : reply.start;
    queuedBytes_ -= reply.bytes.size();
    queue_.pop_front();
    startFront();
}

std::optional<ReplyPacer::Clock::time_point> ReplyPacer::nextDue() const
{
    if (queue_.empty())
        return std::nullopt;
    const Reply &reply = queue_.front();
    return paced_ ? byteTimeAfter(reply.start, reply.written, byteTime_) : reply.start;
}

}  // namespace modemsim
