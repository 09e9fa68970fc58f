// The publisher's session mode (see Session in publisher.h): messages that wait in the publisher
// until each connection's births went, and a reconnection of its own, since the last will
// changes with each connection.
#include "mqtt/publisherstate.h"

#include <algorithm>

namespace qn::mqtt {

// Session mode, the broker away (the lock held): the message waits here, oldest dropped
// past the limit.
void detail::PublisherState::hold(StoredMessage message, std::uint64_t journalId)
{
    if (held.size() >= std::size_t(std::max(options.bufferLimit, 1))) {
        ++stats.dropped;
        if (journal)
            journal->remove(held.front().journalId);
        held.pop_front();
    }
    if (journalId == 0 && journal)
        journalId = journal->add(message);
    held.push_back({std::move(message), journalId});
}

// Session mode: a connection is there. Its births first, then what waited, in order.
void detail::PublisherState::sessionConnected()
{
    for (const std::string &filter : session.subscriptions)
        MQTTAsync_subscribe(client, filter.c_str(), 0, nullptr);
    if (session.births)
        for (StoredMessage &m : session.births())
            send(std::move(m.topic), std::move(m.payload), m.retained, 0, Via::Birth);
    for (;;) {
        std::deque<Held> batch;
        {
            std::lock_guard lock(mutex);
            if (held.empty()) {
                ready = true;
                return;
            }
            batch.swap(held);
        }
        for (Held &h : batch)
            send(std::move(h.message.topic), std::move(h.message.payload), h.message.retained, h.journalId, Via::Waited);
    }
}

// Session mode: the next attempt after `seconds` (the lock held).
void detail::PublisherState::reconnectIn(int seconds)
{
    if (stopping)
        return;
    reconnectDue = true;
    reconnectAt = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    reconnectWake.notify_all();
}
int detail::PublisherState::connectNow() // with the will of the coming connection
{
    willPayload = session.nextWill ? session.nextWill() : std::string();
    will.message = nullptr;
    will.payload.data = willPayload.data();
    will.payload.len = int(willPayload.size());
    return MQTTAsync_connect(client, &connect);
}
void detail::PublisherState::reconnectLoop()
{
    std::unique_lock lock(mutex);
    for (;;) {
        reconnectWake.wait(lock, [&] { return stopping || reconnectDue; });
        if (stopping || reconnectWake.wait_until(lock, reconnectAt, [&] { return stopping; }))
            return;
        reconnectDue = false;
        lock.unlock();
        const int rc = connectNow();
        lock.lock();
        if (rc != MQTTASYNC_SUCCESS)
            reconnectIn(nextRetry());
    }
}
int detail::PublisherState::nextRetry() // the lock held
{
    retrySeconds = retrySeconds == 0 ? options.retryMinSeconds : std::min(retrySeconds * 2, options.retryMaxSeconds);
    return retrySeconds;
}

} // namespace qn::mqtt
